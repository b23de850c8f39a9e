#include "ErrorDisplay.h"

#include "fib.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

QString ApplicationTitleOf(const QString& executablePath)
{
    QString name = QFileInfo(executablePath).fileName();
    name.truncate(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    return name.left(1) + name.mid(1).toLower();
}

QString ApplicationTitle() { return ApplicationTitleOf(QCoreApplication::applicationFilePath()); }

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

namespace {

QString ownMessage(const std::exception& error)
{
    if (const auto* layerError = dynamic_cast<const Exception*>(&error))
        return layerError->Message();
    return QString::fromUtf8(error.what());
}

}  // namespace

QString ExceptionMessage(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        QString message = ownMessage(e);
        try {
            std::rethrow_if_nested(e);
        } catch (...) {
            const QString inner = ExceptionMessage(std::current_exception());
            if (!inner.isEmpty())
                message = inner;
        }
        return message;
    } catch (...) {
        return QStringLiteral("Unknown exception");
    }
}

namespace {

bool isSilentAbort(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

void ShowException(const std::exception_ptr& error)
{
    try {
        if (QWidget* grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        if (!error || isSilentAbort(error))
            return;
        ShowErrorBox(ExceptionMessage(error));
    } catch (...) {
        // The display itself failed (out of memory, most likely): nothing more can be shown.
    }
}

void ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), ErrorBoxText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void ShowInformation(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}
