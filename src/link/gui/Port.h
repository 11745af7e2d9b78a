#pragma once

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The first window of a run: the user picks the COM port the meter is on.
// OK sets the port number (exact names only) and hands over to the panel.
class Port : public QWidget
{
    Q_OBJECT

public:
    explicit Port(QWidget *parent = nullptr);

    // 0 until OK accepted one of "COM1".."COM16".
    int comPortNumber() const { return m_comPortNumber; }

    // Sizes and position are given in twips; these map them at the screen's
    // resolution.
    QSize compactSize() const;
    QSize helpSize() const;

Q_SIGNALS:
    // OK was clicked; the panel opens next and this window closes.
    void portChosen(int comPortNumber);

private:
    void accept();
    void showHelp();
    void startDeviceManager();
    int px(int twips) const;
    int py(int twips) const;
    void fillHelpPicture();

    QComboBox *m_txtCom;
    QPushButton *m_cmdOk;
    QPushButton *m_cmdDevice;
    QFrame *m_picDevice;
    QLabel *m_helpText;
    QPushButton *m_cmdGo;
    int m_comPortNumber = 0;
};
