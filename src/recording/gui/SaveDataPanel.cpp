#include "SaveDataPanel.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

SaveDataPanel::SaveDataPanel(QWidget *parent)
    : QFrame(parent)
    , m_optSampling(new QRadioButton(QStringLiteral("Sampling")))
    , m_optSaveList(new QRadioButton(QStringLiteral("Save List")))
    , m_cmdSaveOK(new QPushButton(QStringLiteral("OK")))
    , m_cmdDetails(new QPushButton(QStringLiteral("Details...")))
{
    setObjectName(QStringLiteral("PicSave"));
    setAccessibleName(QStringLiteral("Save Data"));
    auto *frame = new QGroupBox(QStringLiteral("Save Data"));
    frame->setObjectName(QStringLiteral("FrameSaveData"));
    m_optSampling->setObjectName(QStringLiteral("OptSampling"));
    m_optSampling->setAccessibleName(m_optSampling->text());
    m_optSaveList->setObjectName(QStringLiteral("OptSaveList"));
    m_optSaveList->setAccessibleName(m_optSaveList->text());
    m_cmdSaveOK->setObjectName(QStringLiteral("CmdSaveOK"));
    m_cmdSaveOK->setAccessibleName(m_cmdSaveOK->text());
    m_cmdDetails->setObjectName(QStringLiteral("CmdDetails"));
    m_cmdDetails->setAccessibleName(QStringLiteral("Measurement Details"));
    m_cmdDetails->setAccessibleDescription(
        QStringLiteral("Site, operator, weather and meter of the recording about to start"));

    auto *options = new QVBoxLayout(frame);
    options->addWidget(m_optSampling);
    options->addWidget(m_optSaveList);
    options->addWidget(m_cmdSaveOK);
    options->addWidget(m_cmdDetails);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);

    // The checked state decides, however it changed: a click, the keyboard or
    // a screen reader's toggle action (which sends no click).
    connect(m_optSampling, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            m_saveMode = RecordToFile;
    });
    connect(m_optSaveList, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            m_saveMode = SaveTheList;
    });
    connect(m_cmdDetails, &QPushButton::clicked, this, &SaveDataPanel::detailsRequested);
    connect(m_cmdSaveOK, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT confirmed(m_saveMode);
    });
    hide();
}

void SaveDataPanel::beginChoice()
{
    m_optSampling->setChecked(true);
    m_optSaveList->setChecked(false);
    m_saveMode = RecordToFile;
    show();
}
