// Feeds arbitrary server bytes to the SMTP reply reader, whole and in pieces, and checks what every
// reading must hold: the same replies and the same verdict however the bytes are cut (which limit is
// named first may differ), nothing beyond the limits, and every error message free of control bytes.
#include "tasks/email/SmtpReplyReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr quietmon::SmtpReplyLimits limits{64, 512};

struct Outcome {
    std::vector<quietmon::SmtpReply> replies;
    std::string error;
};

void check(const quietmon::SmtpReply& reply) {
    if (reply.code < 0 || reply.code > 999 || reply.lines.empty())
        std::abort();
    std::size_t bytes = 0;
    for (const std::string& line : reply.lines) {
        if (line.size() > limits.maxLineBytes || line.find('\n') != std::string::npos)
            std::abort();
        bytes += line.size();
    }
    if (bytes > limits.maxReplyBytes || reply.text().empty())
        std::abort();
}

Outcome read(std::string_view stream, std::size_t piece) {
    quietmon::SmtpReplyReader reader(limits);
    Outcome outcome;
    try {
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.append(stream.substr(at, piece));
            while (std::optional<quietmon::SmtpReply> reply = reader.take()) {
                check(*reply);
                outcome.replies.push_back(std::move(*reply));
            }
        }
    } catch (const quietmon::SmtpProtocolError& error) {
        outcome.error = error.what();
        for (char c : outcome.error) {
            if (static_cast<unsigned char>(c) < 0x20)
                std::abort();
        }
    }
    return outcome;
}

bool sameReplies(const Outcome& a, const Outcome& b) {
    if (a.error.empty() != b.error.empty() || a.replies.size() != b.replies.size())
        return false;
    for (std::size_t i = 0; i < a.replies.size(); ++i) {
        if (a.replies[i].code != b.replies[i].code || a.replies[i].lines != b.replies[i].lines)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = data[0] % 16 + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    const Outcome whole = read(stream, stream.size() + 1);
    const Outcome pieces = read(stream, piece);
    if (!sameReplies(whole, pieces))
        std::abort();
    return 0;
}
