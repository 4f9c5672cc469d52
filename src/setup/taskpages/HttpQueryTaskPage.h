#pragma once

#include "config/taskkinds/HttpQuerySettings.h"

#include <QWidget>

namespace quietmon {

struct SetupContext;

// "Send HTTP query": the address and the query, and "Test", which sends them at once and shows the answer.
class HttpQueryTaskPage final : public QWidget {
public:
    HttpQueryTaskPage(SetupContext& context, QuerySettings& settings, QWidget* parent = nullptr);
};

} // namespace quietmon
