// The window tests run inside one QApplication on the offscreen platform.
#include <cstdlib>

#include <QApplication>

#include <gtest/gtest.h>

namespace {

QtMessageHandler qt_handler = nullptr;

// The offscreen platform says at every window that it cannot pass size
// hints on to a window manager it does not have; everything else is shown.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QStringLiteral("propagateSizeHints"))) return;
    qt_handler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    // Set before the application starts, unless the caller chose a platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qt_handler = qInstallMessageHandler(QuietOffscreen);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
