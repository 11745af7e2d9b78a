#pragma once

#include <QFrame>

class QPushButton;
class QRadioButton;

// The "Save Data" choice shown by the record button: record the samples to
// a file (SaveMode 1) or save the list (SaveMode 2), confirmed by OK.
class SaveDataPanel : public QFrame
{
    Q_OBJECT

public:
    enum SaveMode { RecordToFile = 1, SaveTheList = 2 };

    explicit SaveDataPanel(QWidget *parent = nullptr);

    // Selects recording to a file and shows the panel.
    void beginChoice();
    int saveMode() const { return m_saveMode; }

Q_SIGNALS:
    void confirmed(int saveMode);
    // The measurement's details for the recording about to start.
    void detailsRequested();

private:
    QRadioButton *m_optSampling;
    QRadioButton *m_optSaveList;
    QPushButton *m_cmdSaveOK;
    QPushButton *m_cmdDetails;
    int m_saveMode = RecordToFile;
};
