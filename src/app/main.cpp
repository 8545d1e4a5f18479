#include "core/Clock.h"
#include "core/RandomSource.h"
#include "layout/CQuorvaneDoc.h"
#include "ui/MainWindow.h"
#include "ui/WidgetOperator.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    SystemClock clock;
    RandomSource random;
    WidgetOperator op;
    CQuorvaneDoc document(CoreContext{&clock, &random, &op});
    document.OnNewDocument();

    MainWindow window(document);
    op.setParentWidget(&window);
    window.show();
    return QApplication::exec();
}
