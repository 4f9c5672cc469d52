#include "setup/ActivationPage.h"

#include "monitor/Monitor.h"
#include "setup/WindowChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <array>
#include <variant>

namespace quietmon {

namespace {

QStringList isOrIsNot() {
    return {QStringLiteral("is"), QStringLiteral("is not")};
}

QStringList channelLines(const GeneralSettings& general) {
    return {QStringLiteral("in both channels"), QStringLiteral("in any channel"),
            QStringLiteral("in channel ") + QString::fromStdString(general.leftName),
            QStringLiteral("in channel ") + QString::fromStdString(general.rightName)};
}

// One line of the page's sentence: its parts side by side from the left. A text stands for a fixed word.
QHBoxLayout* sentence(QWidget* page, std::initializer_list<std::variant<QWidget*, const char*>> parts) {
    auto* line = new QHBoxLayout;
    for (const auto& part : parts) {
        if (const auto* word = std::get_if<const char*>(&part))
            line->addWidget(new QLabel(QString::fromLatin1(*word), page));
        else
            line->addWidget(std::get<QWidget*>(part));
    }
    line->addStretch();
    return line;
}

} // namespace

ActivationPage::ActivationPage(SetupContext& context, QWidget* parent) : QWidget(parent), m_context(context) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildConditions());
    layout->addWidget(buildReturn());
    layout->addStretch();
}

QGroupBox* ActivationPage::buildConditions() {
    BoundFields& fields = m_context.fields;
    ActivationSettings& activation = m_context.monitor.settings().activation;
    auto* group = new QGroupBox(QStringLiteral("Alarm activation conditions"), this);
    auto* grid = new QGridLayout(group);

    // The silence is always a condition: a click cannot clear its box.
    auto* silenceTick = new QCheckBox(group);
    silenceTick->setObjectName(QStringLiteral("silenceCondition"));
    silenceTick->setChecked(true);
    connect(silenceTick, &QCheckBox::toggled, silenceTick, [silenceTick](bool ticked) {
        if (!ticked)
            silenceTick->setChecked(true);
    });
    auto* silence =
        forKey(fields.number(group, activation.silenceSeconds, {1, 3600, 4}), "Activation/Silence");
    m_channels =
        forKey(fields.choice(group, activation.channels, channelLines(m_context.monitor.settings().general)),
               "Activation/Channels");
    // The channel names can be 31 characters long.
    m_channels->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    grid->addWidget(silenceTick, 0, 0);
    grid->addLayout(sentence(group, {silence, "seconds of silence", m_channels}), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("and"), group), 1, 1);

    grid->addWidget(forKey(fields.tick(group, QStringLiteral("time"), activation.timeConditionOn),
                           "Activation/Condition3"),
                    2, 0);
    grid->addLayout(
        sentence(group, {forKey(fields.choice(group, activation.timeComparison, isOrIsNot()),
                                "Activation/TimeOperator"),
                         "between", forKey(fields.timeOfDay(group, activation.timeFrom), "Activation/Time1"),
                         "and", forKey(fields.timeOfDay(group, activation.timeTo), "Activation/Time2")}),
        2, 1);
    grid->addLayout(sentence(group, {forKey(fields.choice(group, activation.timeAndDayCombination,
                                                          {QStringLiteral("and"), QStringLiteral("or")}),
                                            "Activation/AlarmOperator")}),
                    3, 1);

    grid->addWidget(forKey(fields.tick(group, QStringLiteral("day"), activation.weekdayConditionOn),
                           "Activation/Condition2"),
                    4, 0, Qt::AlignTop);
    static constexpr std::array<const char*, 7> weekdays{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                         "Friday", "Saturday", "Sunday"};
    static constexpr std::array<const char*, 7> weekdayKeys{
        "Activation/Monday", "Activation/Tuesday",  "Activation/Wednesday", "Activation/Thursday",
        "Activation/Friday", "Activation/Saturday", "Activation/Sunday"};
    auto* days = new QGridLayout;
    for (int day = 0; day < 7; ++day) {
        // Three columns, filled downwards from Monday.
        QCheckBox* tick = fields.tick(group, QString::fromLatin1(weekdays[day]), activation.weekdays[day]);
        days->addWidget(forKey(tick, weekdayKeys[day]), day % 3, day / 3);
    }
    auto* dayLine = new QHBoxLayout;
    dayLine->addWidget(
        forKey(fields.choice(group, activation.dayComparison, isOrIsNot()), "Activation/DayOperator"), 0,
        Qt::AlignTop);
    dayLine->addLayout(days);
    dayLine->addStretch();
    grid->addLayout(dayLine, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("and"), group), 5, 1);

    grid->addWidget(forKey(fields.tick(group, QStringLiteral("window"), activation.windowConditionOn),
                           "Activation/Condition4"),
                    6, 0);
    QComboBox* titleClass = forKey(
        fields.choice(group, activation.windowMatch, {QStringLiteral("title"), QStringLiteral("class")}),
        "Activation/TitleClass");
    m_windowText = forKey(fields.text(group, activation.window, 255), "Activation/Window");
    // A title in the field means nothing as a class, and the other way round.
    connect(titleClass, &QComboBox::currentIndexChanged, m_windowText, &QLineEdit::clear);
    auto* windowLine = new QHBoxLayout;
    windowLine->addWidget(titleClass);
    windowLine->addWidget(m_windowText, 1);
    grid->addLayout(windowLine, 6, 1);
    auto* find = new QPushButton(QStringLiteral("Find"), group);
    connect(find, &QPushButton::clicked, this, [this] { findWindow(); });
    grid->addLayout(sentence(group, {forKey(fields.choice(group, activation.windowComparison, isOrIsNot()),
                                            "Activation/WindowOperator"),
                                     "detected", find}),
                    7, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

QGroupBox* ActivationPage::buildReturn() {
    BoundFields& fields = m_context.fields;
    Settings& settings = m_context.monitor.settings();
    auto* group = new QGroupBox(QStringLiteral("Return from alarm condition"), this);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(sentence(
        group,
        {"If sound is present again for at least",
         forKey(fields.number(group, settings.activation.returnSeconds, {0, 3600, 4}), "Activation/Return"),
         "seconds"}));
    layout->addWidget(
        forKey(fields.tick(group, QStringLiteral("Break the alarm task queue if it's still in progress"),
                           settings.activation.breakQueue),
               "Activation/BreakQueue"));
    m_stopPlayer = forKey(
        fields.tick(group, QStringLiteral("Built-in mp3 player: stop playing"), settings.general.stopPlayer),
        "General/StopPlayer");
    layout->addWidget(m_stopPlayer);
    return group;
}

void ActivationPage::showEvent(QShowEvent* event) {
    m_stopPlayer->setEnabled(m_context.monitor.settings().general.internalPlayer);
    rebuildChannelLines();
    QWidget::showEvent(event);
}

// The last two lines name the channels; the rule stays the one selected.
void ActivationPage::rebuildChannelLines() {
    const QSignalBlocker quiet(m_channels);
    const int selected = m_channels->currentIndex();
    const QStringList lines = channelLines(m_context.monitor.settings().general);
    m_channels->removeItem(3);
    m_channels->removeItem(2);
    m_channels->addItems({lines[2], lines[3]});
    m_channels->setCurrentIndex(selected);
}

void ActivationPage::findWindow() {
    if (!m_context.windowPicker)
        return;
    const std::optional<ChosenWindow> chosen = m_context.windowPicker->pickWindow();
    if (!chosen)
        return;
    const bool byClass = m_context.monitor.settings().activation.windowMatch == WindowMatch::ByClass;
    m_windowText->setText(QString::fromStdString(byClass ? chosen->windowClass : chosen->title));
}

} // namespace quietmon
