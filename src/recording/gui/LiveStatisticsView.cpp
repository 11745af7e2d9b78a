#include "LiveStatisticsView.h"

#include "recording/SampleTick.h"
#include "widgets/ValueBoard.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

ValueBoard *makeLabel(const QString &objectName, const QString &accessibleName)
{
    auto *label = new ValueBoard(accessibleName);
    label->setObjectName(objectName);
    return label;
}

ValueBoard *makeBoard(const QString &objectName, const QString &caption)
{
    ValueBoard *board = makeLabel(objectName, caption);
    board->setFrameShape(QFrame::Panel);
    board->setFrameShadow(QFrame::Sunken);
    board->setAlignment(Qt::AlignCenter);
    board->setMinimumWidth(60);
    return board;
}

QGroupBox *titledPanel(const QString &objectName, const QString &caption,
                       std::initializer_list<QWidget *> boards)
{
    auto *panel = new QGroupBox(caption);
    panel->setObjectName(objectName);
    panel->setAccessibleName(caption);
    auto *layout = new QHBoxLayout(panel);
    for (QWidget *board : boards)
        layout->addWidget(board);
    return panel;
}

} // namespace

LiveStatisticsView::LiveStatisticsView(QWidget *parent)
    : QWidget(parent)
    , m_boardLeq(makeBoard(QStringLiteral("BoardLeq"), QStringLiteral("Leq")))
    , m_boardSel(makeBoard(QStringLiteral("BoardSEL"), QStringLiteral("SEL")))
    , m_boardMaxdB(makeBoard(QStringLiteral("BoardMaxdB"), QStringLiteral("Max dB")))
    , m_boardMaxTime(makeBoard(QStringLiteral("BoardMaxTime"), QStringLiteral("Max dB time")))
    , m_lblCount(makeLabel(QStringLiteral("LblCount"), QStringLiteral("Records")))
    , m_lblRec(makeLabel(QStringLiteral("LblRec"), QStringLiteral("Recording")))
    , m_lblFileName(makeLabel(QStringLiteral("LblFileName"), QStringLiteral("Recording file")))
{
    m_lblRec->setText(QStringLiteral("Rec"));
    m_lblRec->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    m_lblRec->hide();

    auto *boards = new QHBoxLayout;
    boards->addWidget(titledPanel(QStringLiteral("SSLeq"), QStringLiteral("Leq"), { m_boardLeq }));
    boards->addWidget(titledPanel(QStringLiteral("SSSEL"), QStringLiteral("SEL"), { m_boardSel }));
    boards->addWidget(titledPanel(QStringLiteral("SSMax"), QStringLiteral("Max dB"),
                                  { m_boardMaxdB, m_boardMaxTime }));

    auto *recording = new QHBoxLayout;
    recording->addWidget(m_lblRec);
    recording->addWidget(m_lblCount);
    recording->addWidget(m_lblFileName, 1);

    const std::array<QString, 3> captions { QStringLiteral("SPL"), QStringLiteral("Leq"),
                                            QStringLiteral("SEL") };
    auto *charts = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(captions[i]);
        option->setObjectName(QStringLiteral("SSOpt%1").arg(i));
        option->setAccessibleName(captions[i] + QStringLiteral(" chart"));
        // Acts on the checked state, which a screen reader's toggle action
        // changes without a click.
        connect(option, &QRadioButton::toggled, this, [this, i](bool checked) {
            if (!checked)
                return;
            m_stripChart = i;
            Q_EMIT stripChartChosen(i);
        });
        charts->addWidget(option);
        m_ssOpt[i] = option;
    }
    m_ssOpt[LevelChart]->setChecked(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(boards);
    layout->addLayout(recording);
    layout->addLayout(charts);
}

void LiveStatisticsView::setText(ValueBoard *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void LiveStatisticsView::showTick(const SampleTickResult &result)
{
    setText(m_boardLeq, result.LeqText);
    setText(m_boardSel, result.SelText);
    if (result.MaxChanged) {
        setText(m_boardMaxdB, result.MaxText);
        setText(m_boardMaxTime, result.MaxTime);
    }
    if (!result.Sampled)
        return;
    setText(m_lblCount, result.Labels.Count);
    setText(m_lblRec, result.Labels.Rec);
    setText(m_lblFileName, result.Labels.FileName);
    if (result.AutoStopped)
        showRecordingStopped();
}

void LiveStatisticsView::showRecordingStarted(const QString &fileName)
{
    setText(m_lblFileName, fileName);
    m_lblRec->setText(QStringLiteral("Rec"));
    m_lblRec->show();
}

void LiveStatisticsView::showRecordingStopped()
{
    m_lblRec->hide();
    m_lblCount->setText(QString());
    m_lblFileName->setText(QString());
}

void LiveStatisticsView::showCopyProgress(qint64 lines)
{
    m_lblCount->setText(QString::number(lines));
    // Shown without letting other events run: the recording files are busy.
    m_lblCount->repaint();
}
