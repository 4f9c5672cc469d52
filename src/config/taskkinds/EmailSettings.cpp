#include "config/taskkinds/EmailSettings.h"

#include "config/SchemaBuilder.h"

namespace quietmon {

template <> std::any defaultSettingsOf<TaskKind::SendEmail>(QueueKind queue, const std::string& productName) {
    EmailSettings email;
    email.subject = productName + " Message";
    email.message =
        queue == QueueKind::Alarm ? "Silence detected - %date %time" : "%date %time - We are on-air again!";
    return email;
}

template <> void addKeysOf<TaskKind::SendEmail>(SchemaBuilder& b) {
    for (const auto& [queue, section] :
         {std::pair{QueueKind::Alarm, "Email"}, std::pair{QueueKind::Return, "RetEmail"}}) {
        const auto email = settingsOfKind<TaskKind::SendEmail>(queue);
        const auto alarmEmail = settingsOfKind<TaskKind::SendEmail>(QueueKind::Alarm);
        b.section(section)
            .text(
                "From", [email](Settings & s) -> auto& { return email(s).from; })
            .text(
                "To", [email](Settings & s) -> auto& { return email(s).to; })
            .text(
                "Subject", [email](Settings & s) -> auto& { return email(s).subject; })
            .text(
                "Message", [email](Settings & s) -> auto& { return email(s).message; })
            // Both sections carry the alarm message here, as the file always has.
            .text(
                "ReturnMessage", [alarmEmail](Settings & s) -> auto& { return alarmEmail(s).message; },
                KeyRole::WriteOnly)
            .text(
                "SMTP", [email](Settings & s) -> auto& { return email(s).smtp; })
            .text(
                "File", [email](Settings & s) -> auto& { return email(s).file; })
            .text(
                "Username", [email](Settings & s) -> auto& { return email(s).username; })
            .scrambled(
                "Password", [email](Settings & s) -> auto& { return email(s).password; })
            .boolean(
                "Authentization", [email](Settings & s) -> auto& { return email(s).authenticate; })
            .boolean(
                "SSL", [email](Settings & s) -> auto& { return email(s).ssl; })
            .text(
                "TrustedCertificate", [email](Settings & s) -> auto& { return email(s).trustedCertificate; })
            .boolean(
                "AttachLevelGraph", [email](Settings & s) -> auto& { return email(s).attachLevelGraph; })
            .boolean(
                "AttachAudioClip", [email](Settings & s) -> auto& { return email(s).attachAudioClip; });
    }
}

} // namespace quietmon
