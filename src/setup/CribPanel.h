#pragma once

#include <QGroupBox>
#include <QStringList>

namespace quietmon {

// A reminder of the placeholders that task texts may hold (group "Crib"), shown only while the keyboard
// focus is inside the widget it serves.
class CribPanel final : public QGroupBox {
public:
    CribPanel(const QStringList& placeholders, QWidget& servedWidget, QWidget* parent = nullptr);

private:
    void onFocusChanged(QWidget* now);

    QWidget& m_served;
};

} // namespace quietmon
