#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

namespace quietmon {

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    void inform(const std::string& text) override;

private:
    QWidget* m_owner;
};

} // namespace quietmon
