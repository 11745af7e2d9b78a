#include "PanelToolbar.h"

#include <QMenu>

#include "panel/ToolbarButtons.h"
#include "widgets/ToolbarIcons.h"

#include "widgets/Shortcuts.h"

#include <QAction>
#include <QToolButton>

namespace {
const QString SaveKey = QStringLiteral("Save");
const QString NotAvailable = QStringLiteral("Not available in this version of the program.");
} // namespace

PanelToolbar::PanelToolbar(QWidget *parent)
    : QToolBar(parent)
{
    setObjectName(QStringLiteral("Toolbar1"));
    setAccessibleName(QStringLiteral("Tool bar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(32, 32));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    int image = 1;
    for (const ToolbarButton &b : ToolbarButtons) {
        const QString key = QLatin1String(b.key);
        const int picture = key == QLatin1String("Calibration") ? CalibrationImage : image++;
        QAction *action = addAction(ToolbarImage(picture), QLatin1String(b.tip));
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setToolTip(QLatin1String(b.tip));
        connect(action, &QAction::triggered, this, [this, key] { Q_EMIT buttonClicked(key); });
        if (key == QLatin1String("Open")) {
            action->setShortcut(QKeySequence::Open);
            // A plain click still opens one file; the arrow offers a series.
            auto *menu = new QMenu(this);
            menu->setObjectName(QStringLiteral("OpenMenu"));
            QAction *file = menu->addAction(QStringLiteral("Open File…"));
            file->setObjectName(QStringLiteral("OpenFile"));
            connect(file, &QAction::triggered, this,
                    [this] { Q_EMIT buttonClicked(QStringLiteral("Open")); });
            QAction *series = menu->addAction(QStringLiteral("Open Series…"));
            series->setObjectName(QStringLiteral("OpenSeries"));
            connect(series, &QAction::triggered, this, &PanelToolbar::openSeriesChosen);
            action->setMenu(menu);
        } else if (key == QLatin1String("Refresh"))
            action->setShortcut(QKeySequence(Qt::Key_F5));
        if (QWidget *w = widgetForAction(action)) {
            if (auto *button = qobject_cast<QToolButton *>(w); button && action->menu())
                button->setPopupMode(QToolButton::MenuButtonPopup);
            w->setObjectName(key);
            w->setAccessibleName(QLatin1String(b.tip));
        }
        m_order << key;
        m_states.insert(key, State { action, true, false });
        refresh(m_states[key]);
        // Groups: files, meter settings, clock and logger, statistics.
        if (key == QLatin1String("Sampling") || key == QLatin1String("Down")
            || key == QLatin1String("Erase") || key == QLatin1String("Refresh"))
            addSeparator();
    }
}

QToolButton *PanelToolbar::button(const QString &key) const
{
    const auto it = m_states.constFind(key);
    if (it == m_states.constEnd())
        return nullptr;
    return qobject_cast<QToolButton *>(widgetForAction(it->action));
}

void PanelToolbar::setButtonEnabled(const QString &key, bool enabled)
{
    auto it = m_states.find(key);
    if (it == m_states.end() || it->enabled == enabled)
        return;
    it->enabled = enabled;
    refresh(*it);
}

void PanelToolbar::setButtonAvailable(const QString &key, bool available)
{
    auto it = m_states.find(key);
    if (it == m_states.end() || it->available == available)
        return;
    it->available = available;
    refresh(*it);
}

bool PanelToolbar::isButtonEnabled(const QString &key) const
{
    const auto it = m_states.constFind(key);
    return it != m_states.constEnd() && it->action->isEnabled();
}

void PanelToolbar::setRecording(bool recording)
{
    m_recording = recording;
    State &save = m_states[SaveKey];
    const QString tip = QLatin1String(recording ? RecordingSaveTip : ToolbarButtons[0].tip);
    save.action->setIcon(ToolbarImage(recording ? StopRecordingImage : 1));
    save.action->setText(tip);
    save.action->setToolTip(tip);
    if (QWidget *w = widgetForAction(save.action))
        w->setAccessibleName(tip);
}

void PanelToolbar::refresh(State &state)
{
    state.action->setEnabled(state.enabled && state.available);
    const QString why = state.available ? QString() : NotAvailable;
    state.action->setStatusTip(why);
    state.action->setWhatsThis(why);
    QStringList description;
    if (!why.isEmpty())
        description << why;
    if (!state.action->shortcut().isEmpty())
        description << Shortcuts::description(state.action->shortcut());
    if (QWidget *w = widgetForAction(state.action))
        w->setAccessibleDescription(description.join(QLatin1Char(' ')));
}
