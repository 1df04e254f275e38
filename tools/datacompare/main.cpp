// compare_data SHIPPED_DIR MADE_DIR OWNED...: exit 0 when the made files are
// the shipped ones, 1 with a line for each difference, 2 on wrong arguments.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "datacompare.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: compare_data SHIPPED_DIR MADE_DIR OWNED...\n");
        return 2;
    }
    const QStringList problems = CompareDataFolders(args[1], args[2], args.mid(3));
    for (const QString& line : problems) std::fprintf(stderr, "  %s\n", qPrintable(line));
    return problems.isEmpty() ? 0 : 1;
}
