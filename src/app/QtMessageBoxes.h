#pragma once

#include "platform/MessageBoxes.h"

class QString;
class QWidget;

namespace quietmon {

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    void inform(const std::string& text) override;
    bool confirm(const std::string& text) override;

private:
    QString title() const;

    QWidget* m_owner;
};

} // namespace quietmon
