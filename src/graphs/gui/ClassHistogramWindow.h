#pragma once

#include "graphs/HistogramInput.h"
#include "widgets/GraphControl.h"

#include <QWidget>

class QAction;
class QComboBox;
class QFrame;
class QPlainTextEdit;
class QToolBar;
class QVBoxLayout;

// What both histogram windows share: the class-count graph, the tool bar,
// and the mode panel with its list of track modes and a reset item.
class ClassHistogramWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ResetItem = 7;

    GraphControl *graph() const { return m_graph; }
    QToolBar *toolBar() const { return m_toolBar; }
    QFrame *modePanel() const { return m_picture; }
    QComboBox *modeList() const { return m_combo; }
    QString description() const;

    // Chooses an item of the mode list as a click on it does.
    void chooseItem(int item);
    virtual void resetScale() = 0;

    // The track mode of a mode list item (0..6).
    static GraphControl::TrackMode trackModeOfItem(int item);

protected:
    ClassHistogramWindow(const QString &graphName, const QString &resetItemText);

    virtual QString itemDescription(int item) const = 0;
    void setClassWidth(ClassWidth width);
    QAction *addToolButton(const QString &text, const QString &toolTip);
    QVBoxLayout *mainLayout() const { return m_layout; }
    void placeModePanel();
    void resizeEvent(QResizeEvent *event) override;

private:
    GraphControl *m_graph = nullptr;
    QToolBar *m_toolBar = nullptr;
    QFrame *m_picture = nullptr;
    QComboBox *m_combo = nullptr;
    QPlainTextEdit *m_description = nullptr;
    QVBoxLayout *m_layout = nullptr;
};
