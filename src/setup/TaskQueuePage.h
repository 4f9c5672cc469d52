#pragma once

#include "config/TaskKinds.h"

#include <QWidget>

namespace quietmon {

class EmailTaskPage;
class TaskQueueEditor;
class TaskSubPages;
struct SetupContext;

// The "Alarm Tasks" or "Return Tasks" page: the queue's editor, the sub-pages of its task kinds under
// their task names, and the "Crib" of placeholders beside the editor while the focus is in the sub-pages.
class TaskQueuePage final : public QWidget {
public:
    TaskQueuePage(SetupContext& context, QueueKind queue, QWidget* parent = nullptr);

    // While the alarm queue runs its settings stay as they are: the sub-pages are disabled, the editor
    // is not (a run works on a copy of the rows).
    void setSubPagesEnabled(bool enabled);

    TaskQueueEditor& editor() { return *m_editor; }
    TaskSubPages& subPages() { return *m_subPages; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void addSubPages(QueueKind queue);
    // "Attach to email": the screenshot's file goes to this queue's "Send email" page, shown with the
    // focus in "Attach file".
    void attachToEmail(const QString& file);

    SetupContext& m_context;
    TaskSubPages* m_subPages = nullptr;
    TaskQueueEditor* m_editor = nullptr;
    EmailTaskPage* m_email = nullptr;
};

} // namespace quietmon
