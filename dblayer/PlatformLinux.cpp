#include "Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <csignal>
#include <dlfcn.h>

namespace platform {

namespace {

thread_local LoaderError tLastError;

void noteLoaderError()
{
    const char* text = dlerror();
    tLastError = LoaderError{0, text ? QString::fromLocal8Bit(text) : QString()};
}

}  // namespace

LibraryHandle loadLibrary(const QString& name)
{
    dlerror();
    LibraryHandle handle = dlopen(QFile::encodeName(name).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        noteLoaderError();
    return handle;
}

void* findSymbol(LibraryHandle library, const char* name)
{
    dlerror();
    void* address = dlsym(library, name);
    if (!address)
        noteLoaderError();
    return address;
}

void unloadLibrary(LibraryHandle library)
{
    if (library)
        dlclose(library);
}

bool libraryIsLoaded(const QString& name)
{
    LibraryHandle handle = dlopen(QFile::encodeName(name).constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

LoaderError lastLoaderError() { return tLastError; }

// ---------------------------------------------------------------- library version

namespace {

void appendDirectories(const QString& list, QStringList& dirs)
{
    for (const QString& dir : list.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << dir;
}

// The directories of the loader's configuration file, following its include lines.
void appendConfiguredDirectories(const QString& path, QStringList& dirs, int depth = 0)
{
    QFile file(path);
    if (depth > 8 || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QString baseDir = QFileInfo(path).absolutePath();
    while (!file.atEnd()) {
        QString line = QString::fromLocal8Bit(file.readLine());
        line = line.left(line.indexOf(QLatin1Char('#'))).trimmed();
        if (line.isEmpty())
            continue;
        if (!line.startsWith(QLatin1String("include "))) {
            dirs << line;
            continue;
        }
        QString pattern = line.mid(8).trimmed();
        if (QDir::isRelativePath(pattern))
            pattern = baseDir + QLatin1Char('/') + pattern;
        const QFileInfo info(pattern);
        const QStringList matches = QDir(info.path()).entryList({info.fileName()}, QDir::Files, QDir::Name);
        for (const QString& match : matches)
            appendConfiguredDirectories(info.path() + QLatin1Char('/') + match, dirs, depth + 1);
    }
}

QStringList searchDirectories()
{
    QStringList dirs;
    appendDirectories(qEnvironmentVariable("LD_LIBRARY_PATH"), dirs);
    appendConfiguredDirectories(QStringLiteral("/etc/ld.so.conf"), dirs);
    dirs << QStringLiteral("/lib") << QStringLiteral("/usr/lib");
    return dirs;
}

}  // namespace

QString libraryFilePath(const QString& name)
{
    if (name.contains(QLatin1Char('/')))
        return QFileInfo(name).isFile() ? name : QString();
    for (const QString& dir : searchDirectories()) {
        const QString candidate = dir + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

quint32 libraryVersion(const QString& name)
{
    if (name.isEmpty())
        return 0;
    const QString path = libraryFilePath(name);
    if (path.isEmpty())
        return 0;
    const QFileInfo real(QFileInfo(path).canonicalFilePath());
    if (!real.isFile() || !real.isReadable())
        return 0;
    // The real file of a shared library carries its version in its name: libx.so.3.0.11 is 3.0.
    static const QRegularExpression versioned(QStringLiteral("\\.so\\.(\\d+)(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = versioned.match(real.fileName());
    if (!match.hasMatch())
        return 0;
    const quint32 major = match.captured(1).toUInt() & 0xFFFF;
    const quint32 minor = match.captured(2).toUInt() & 0xFFFF;
    return (major << 16) | minor;
}

// ---------------------------------------------------------------- 8-bit texts

QString fromSystemCodePage(const char* bytes, qsizetype length)
{
    return QString::fromLocal8Bit(QByteArrayView(bytes, length));
}

QString redecodeAsUtf8(const QString& text) { return QString::fromUtf8(text.toLocal8Bit()); }

// ---------------------------------------------------------------- termination signals

namespace {

// Runs in signal context: only async-signal-safe calls. The signal is blocked while its handler
// runs, so the raised one arrives with the default action as soon as the handler returns.
void endAsTheDefaultActionDoes(int signalNumber)
{
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signalNumber, &byDefault, nullptr);
    raise(signalNumber);
}

}  // namespace

void keepDefaultTerminationSignals()
{
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction ending {};
        ending.sa_handler = endAsTheDefaultActionDoes;
        sigemptyset(&ending.sa_mask);
        sigaction(signalNumber, &ending, nullptr);
    }
}

QString primaryClientLibraryName() { return QStringLiteral("libfbclient.so.2"); }

QString legacyClientLibraryName() { return QStringLiteral("libgds.so.0"); }

}  // namespace platform
