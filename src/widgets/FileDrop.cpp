#include "FileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {

class DataFileDropFilter : public QObject
{
public:
    DataFileDropFilter(QWidget *target, std::function<void(const QStringList &)> open)
        : QObject(target)
        , m_open(std::move(open))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!DataFilesAmong(drag->mimeData()->urls()).isEmpty()) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
                return true;
            }
            return false;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList paths = DataFilesAmong(drop->mimeData()->urls());
            if (paths.isEmpty())
                return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            const QPointer<QObject> alive = watched;
            QTimer::singleShot(0, this, [this, alive, paths] {
                if (alive)
                    m_open(paths);
            });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const QStringList &)> m_open;
};

} // namespace

void AcceptDataFileDrops(QWidget *target, std::function<void(const QStringList &)> open)
{
    target->setAcceptDrops(true);
    target->installEventFilter(new DataFileDropFilter(target, std::move(open)));
}

QStringList DataFilesAmong(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (path.endsWith(QLatin1String(".vorn"), Qt::CaseInsensitive))
            paths << path;
    }
    return paths;
}
