#pragma once

#include "setup/SetupContext.h"

#include <QWidget>

class QLabel;

namespace quietmon {

// The Setup dialog's "About" page: the product and its version, the maker's notice, and where the program
// and its data live, each a link that opens in the desktop's file manager.
class AboutPage final : public QWidget {
public:
    AboutPage(SetupContext& context, QWidget* parent);

private:
    // A label whose text links to `path`; a click opens it through the desktop.
    QLabel* linkTo(const std::string& path, const QString& text);

    SetupContext& m_context;
};

} // namespace quietmon
