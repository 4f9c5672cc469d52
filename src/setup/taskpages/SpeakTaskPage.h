#pragma once

#include <QWidget>
#include <string>

namespace quietmon {

struct SetupContext;

// "Speak": the text read aloud.
class SpeakTaskPage final : public QWidget {
public:
    SpeakTaskPage(SetupContext& context, std::string& text, QWidget* parent = nullptr);
};

} // namespace quietmon
