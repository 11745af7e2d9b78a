#pragma once

#include <QHash>
#include <QToolBar>

class QToolButton;

// The panel's tool bar (Toolbar1): eleven buttons, each known by its key.
// A button is usable when its feature is available in this build and the
// panel's state allows it (the poll disables "Up" at the top range and
// "Down" at the bottom one). An unavailable button is disabled and says why.
class PanelToolbar : public QToolBar
{
    Q_OBJECT

public:
    explicit PanelToolbar(QWidget *parent = nullptr);

    QStringList keys() const { return m_order; }
    QToolButton *button(const QString &key) const;

    // State-driven enabling (range ends, a window open, ...).
    void setButtonEnabled(const QString &key, bool enabled);
    // Whether the feature behind the button exists.
    void setButtonAvailable(const QString &key, bool available);
    bool isButtonEnabled(const QString &key) const;

    // Button 1 shows image 12 and "Stop Recording" while recording.
    void setRecording(bool recording);
    bool isRecording() const { return m_recording; }

Q_SIGNALS:
    void buttonClicked(const QString &key);
    // "Open Series…" in the Open button's menu.
    void openSeriesChosen();

private:
    struct State
    {
        QAction *action = nullptr;
        bool enabled = true;
        bool available = false;
    };
    void refresh(State &state);

    QStringList m_order;
    QHash<QString, State> m_states;
    bool m_recording = false;
};
