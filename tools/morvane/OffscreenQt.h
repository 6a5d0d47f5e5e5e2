#pragma once
// The print and plot programs draw on no screen: Qt runs on its offscreen
// platform unless told otherwise, and its notice that the runtime folder
// variable is unset (it then takes a folder of its own) is kept off the
// standard error, which a script reads for the tool's own messages.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>

namespace morvane::tool {

namespace detail {

inline QtMessageHandler& EarlierHandler() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

// Every message of Qt but the runtime folder's notice, to the handler before this one.
inline void WithoutRuntimeFolderNotice(QtMsgType type, const QMessageLogContext& context,
                                       const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (QtMessageHandler earlier = EarlierHandler())
        earlier(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace detail

// Before the application is made.
inline void PrepareOffscreenQt() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    detail::EarlierHandler() = qInstallMessageHandler(detail::WithoutRuntimeFolderNotice);
}

}  // namespace morvane::tool
