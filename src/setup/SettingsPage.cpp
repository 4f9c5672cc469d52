#include "setup/SettingsPage.h"

#include "config/StatusAddress.h"
#include "monitor/Monitor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quietmon {

namespace {

// A field with its caption in front of it; the field spans `columns` columns of the grid.
void addCaptioned(QGridLayout* grid, int row, int column, const char* caption, QWidget* field,
                  int columns = 1) {
    auto* label = new QLabel(QString::fromLatin1(caption), field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1, 1, columns);
}

// A tick box over two columns of a grid.
QCheckBox* addTick(BoundFields& fields, QGridLayout* grid, int row, int column, const char* caption,
                   bool& value, const char* key) {
    QCheckBox* tick = forKey(fields.tick(grid->parentWidget(), QString::fromLatin1(caption), value), key);
    grid->addWidget(tick, row, column, 1, 2);
    return tick;
}

} // namespace

SettingsPage::SettingsPage(SetupContext& context, QWidget* parent) : QWidget(parent), m_context(context) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildGeneral());
    layout->addWidget(buildAudio());
    layout->addStretch();
    layout->addWidget(new QLabel(QStringLiteral(" * requires restart to take effect "), this), 0,
                      Qt::AlignRight);
}

QGroupBox* SettingsPage::buildGeneral() {
    BoundFields& fields = m_context.fields;
    GeneralSettings& general = m_context.monitor.settings().general;
    auto* group = new QGroupBox(QStringLiteral("General settings"), this);
    auto* grid = new QGridLayout(group);

    QLineEdit* title = forKey(fields.text(group, general.title, 63), "General/Title");
    // The caption follows each keystroke; the tray's tip, which begins with the title, is refreshed once
    // the operator has finished with the field.
    connect(title, &QLineEdit::textChanged, this, [this] {
        if (MonitorView* view = m_context.monitor.view())
            view->applyTitle();
    });
    connect(title, &QLineEdit::editingFinished, this, [this] {
        if (MonitorView* view = m_context.monitor.view())
            view->updateTray();
    });
    addCaptioned(grid, 0, 0, "Application window title", title, 3);
    addCaptioned(grid, 1, 0, "Left channel name",
                 forKey(fields.text(group, general.leftName, 31), "General/LeftName"), 3);
    addCaptioned(grid, 2, 0, "Right channel name",
                 forKey(fields.text(group, general.rightName, 31), "General/RightName"), 3);
    addCaptioned(grid, 3, 0, "Status after start-up *",
                 forKey(fields.choice(group, general.startUpStatus,
                                      {QStringLiteral("Alarm not active"), QStringLiteral("Silence!"),
                                       QStringLiteral("(Invoke last status)")}),
                        "General/StartUpStatus"),
                 3);
    // Shown as typed: whoever may open Setup may see it.
    addCaptioned(grid, 4, 0, "Setup password",
                 forKey(fields.text(group, general.setupPassword, 16), "General/SetupPassword"), 3);

    auto* delay = new QHBoxLayout;
    delay->addWidget(new QLabel(QStringLiteral("Do not anything first"), group));
    delay->addWidget(
        forKey(fields.number(group, general.startUpDelay, {0, 3600, 4}), "General/StartUpDelay"));
    delay->addWidget(new QLabel(QStringLiteral("seconds after start-up *"), group));
    delay->addStretch();
    grid->addLayout(delay, 5, 0, 1, 4);

    addTick(fields, grid, 6, 0, "Idle priority", general.idlePriority, "General/IdlePriority");
    addTick(fields, grid, 6, 2, "Stay on top", general.alwaysOnTop, "General/AlwaysOnTop");
    addTick(fields, grid, 7, 0, "Use system font *", general.useSystemFont, "General/UseSystemFont");
    addTick(fields, grid, 7, 2, "Log events *", general.logEvents, "General/LogEvents");
    QCheckBox* internalPlayer = addTick(fields, grid, 8, 0, "Use built-in MP3 player for .mp3 files",
                                        general.internalPlayer, "General/InternalPlayer");
    // Without the player the option was cleared when the settings were loaded, and stays off.
    internalPlayer->setEnabled(m_context.monitor.playerAvailable());
    // Last: few stations use it.
    addStatusEndpoint(grid, 9);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

// The status endpoint's two keys, on three rows from `row`: they act when the program starts.
void SettingsPage::addStatusEndpoint(QGridLayout* grid, int row) {
    BoundFields& fields = m_context.fields;
    GeneralSettings& general = m_context.monitor.settings().general;
    QWidget* group = grid->parentWidget();
    QLineEdit* address = forKey(fields.text(group, general.statusAddress, 63), "General/StatusAddress");
    address->setPlaceholderText(QStringLiteral("for example 127.0.0.1:9823"));
    addCaptioned(grid, row, 0, "Status address *", address, 3);
    // Masked as the mail passwords are: it opens the station's state to whoever holds it.
    addCaptioned(grid, row + 1, 0, "Status token *",
                 forKey(fields.password(group, general.statusToken, 255), "General/StatusToken"), 3);
    grid->addWidget(new QLabel(QStringLiteral("An address other computers can reach needs a token of at "
                                              "least %1 characters.\nNo address: no status endpoint.")
                                   .arg(minimumReachableTokenLength),
                               group),
                    row + 2, 1, 1, 3);
}

QGroupBox* SettingsPage::buildAudio() {
    BoundFields& fields = m_context.fields;
    GeneralSettings& general = m_context.monitor.settings().general;
    auto* group = new QGroupBox(QStringLiteral("Audio settings"), this);
    auto* grid = new QGridLayout(group);

    // The start-up added "(Default)" to an empty list.
    QStringList devices;
    for (const std::string& line : m_context.monitor.audioInput().devices().lines())
        devices << QString::fromStdString(line);
    QComboBox* device = forKey(fields.choice(group, general.audioInDevice, devices), "General/AudioInDevice");
    // The name finds the device again at the next start, even where the list has changed.
    connect(device, &QComboBox::currentIndexChanged, this, [&general, device](int line) {
        if (line >= 0)
            general.audioInDeviceName = device->itemText(line).toStdString();
    });
    // Device names can be long: the list shows them whole, the field need not.
    device->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    device->setMinimumContentsLength(30);
    addCaptioned(grid, 0, 0, "Select audio device for monitoring *", device, 3);
    QLineEdit* stream = forKey(fields.text(group, general.streamAddress, 2047), "General/StreamAddress");
    stream->setPlaceholderText(QStringLiteral("for example http://radio.example:8000/live.mp3"));
    // The address matters only for the stream line; it is kept while another input is chosen.
    const auto enableStream = [stream, device] {
        stream->setEnabled(device->currentText() == QLatin1String(AudioDeviceList::streamLine));
    };
    connect(device, &QComboBox::currentIndexChanged, stream, enableStream);
    enableStream();
    addCaptioned(grid, 1, 0, "Stream address *", stream, 3);

    auto* levels = new QHBoxLayout;
    levels->addWidget(new QLabel(QStringLiteral("Peak holding time [ms]"), group));
    levels->addWidget(
        forKey(fields.number(group, general.peakHoldTime,
                             {.minimum = 100, .maximum = 10000, .maxCharacters = 5, .step = 100}),
               "General/PeakHoldTime"));
    levels->addSpacing(group->fontMetrics().averageCharWidth() * 4);
    levels->addWidget(new QLabel(QStringLiteral("Min. threshold level [dBFS]"), group));
    levels->addWidget(
        forKey(fields.number(group, general.minThreshold, {-96, -6, 3}), "General/MinThreshold"));
    levels->addStretch();
    grid->addLayout(levels, 2, 0, 1, 4);
    addTick(fields, grid, 3, 0, "Lock threshold trackbar", general.lockTrackbar, "General/LockTrackbar");
    addTick(fields, grid, 3, 2, "DC filter", general.dcFilter, "General/DCFilter");
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return group;
}

} // namespace quietmon
