// The Hash Table menu: the size rule, the custom size, sizes the machine
// cannot hold or that need more than 32 bits, and tables replaced under a
// running search.
#include <QAction>
#include <QComboBox>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "dialogs/LEVELS.h"
#include "globals.h"
#include "guiglobals.h"
#include "hash.h"
#include "movegen.h"
#include "gui_fixture.h"
#include "rootsearch.h"
#include "test_position.h"

namespace {

// The first number in a file ("max" and a missing file: none).
std::optional<qulonglong> NumberIn(const std::string& path) {
    std::ifstream in(path);
    qulonglong n = 0;
    if (in >> n) return n;
    return std::nullopt;
}

// The value of a "Name: n kB" line of a /proc file, in bytes.
std::optional<qulonglong> KilobytesLine(const std::string& path, const std::string& name) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name + ":", 0) == 0) {
            std::istringstream rest(line.substr(name.size() + 1));
            qulonglong kb = 0;
            if (rest >> kb) return kb << 10;
        }
    return std::nullopt;
}

// The memory this process may still take: what the machine has free, what
// its address-space limit leaves, and what its control groups (v2 or v1,
// the group and every group above it) leave.
qulonglong AllocatableBytes() {
    qulonglong room = KilobytesLine("/proc/meminfo", "MemAvailable").value_or(PhysicalMemoryBytes());
    rlimit as{};
    if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) {
        const qulonglong used = KilobytesLine("/proc/self/status", "VmSize").value_or(0);
        room = std::min<qulonglong>(room, as.rlim_cur > used ? as.rlim_cur - used : 0);
    }
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    while (std::getline(groups, line)) {
        // "0::/path" (v2) or "n:memory:/path" (v1).
        const auto first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string group = line.substr(second + 1);
        std::string root, limitFile, usageFile;
        if (controllers.empty()) {
            root = "/sys/fs/cgroup";
            limitFile = "/memory.max";
            usageFile = "/memory.current";
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            root = "/sys/fs/cgroup/memory";
            limitFile = "/memory.limit_in_bytes";
            usageFile = "/memory.usage_in_bytes";
        } else {
            continue;
        }
        for (;;) {
            const std::string dir = root + (group == "/" ? "" : group);
            if (const auto limit = NumberIn(dir + limitFile)) {
                const qulonglong usage = NumberIn(dir + usageFile).value_or(0);
                room = std::min<qulonglong>(room, *limit > usage ? *limit - usage : 0);
            }
            if (group.empty() || group == "/") break;
            group.erase(std::max<std::size_t>(group.rfind('/'), 1));
        }
    }
    return room;
}

}  // namespace

class HashSizeTest : public QObject, public WindowFixture<> {
    Q_OBJECT

    QAction* Checked() const {
        QAction* found = nullptr;
        for (QAction* a : {w->btnHash1, w->btnHash2, w->btnHash3, w->btnHash4, w->btnHash5})
            if (a->isChecked()) {
                if (found) return nullptr;  // more than one
                found = a;
            }
        return found;
    }

private slots:
    void init() { BeginWindowTest(); }

    void cleanup() { CloseWindow(); }

    // The power of two at or above the size, halved when that is more than
    // 1 MB over it; 16-byte entries.
    void theSizeRule_data() {
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<qulonglong>("entries");
        QTest::addColumn<int>("shownMB");
        QTest::addColumn<QString>("item");
        QTest::newRow("1") << 1 << 65536ull << 1 << "btnHash5";
        QTest::newRow("3") << 3 << 262144ull << 4 << "btnHash1";
        QTest::newRow("4") << 4 << 262144ull << 4 << "btnHash1";
        QTest::newRow("5") << 5 << 262144ull << 4 << "btnHash1";
        QTest::newRow("6") << 6 << 262144ull << 4 << "btnHash1";
        QTest::newRow("7") << 7 << 524288ull << 8 << "btnHash2";
        QTest::newRow("12") << 12 << 524288ull << 8 << "btnHash2";
        QTest::newRow("15") << 15 << 1048576ull << 16 << "btnHash3";
        QTest::newRow("32") << 32 << 2097152ull << 32 << "btnHash4";
        QTest::newRow("100") << 100 << 4194304ull << 64 << "btnHash5";
        QTest::newRow("0: 32 bytes") << 0 << 2ull << 0 << "btnHash5";
        QTest::newRow("-1: 16 bytes") << -1 << 1ull << 0 << "btnHash5";
        QTest::newRow("-100000: 16 bytes") << -100000 << 1ull << 0 << "btnHash5";
    }

    void theSizeRule() {
        QFETCH(int, megabytes);
        QFETCH(qulonglong, entries);
        QFETCH(int, shownMB);
        QFETCH(QString, item);
        StoreHash(60, 7, HASH_EXACT, 1, 2, 3);
        w->SetHashSize(megabytes, false);
        QCOMPARE(HashTableEntries, entries);
        QCOMPARE(PawnHashEntries, INITIAL_PAWN_HASH_ENTRIES);
        QCOMPARE(w->HashSizeMB, shownMB);
        QVERIFY(Checked() != nullptr);
        QCOMPARE(Checked()->objectName(), item);
        QVERIFY(boxes.shown.empty());
        QCOMPARE(ProbeHashMove(1, 2), 0);  // the new table is empty
        // Every slot of it is in use: the highest index stores and probes.
        StoreHash(60, 7, HASH_EXACT, 0xFFFFFFFFu, 2, 3);
        QCOMPARE(ProbeHashMove(0xFFFFFFFFu, 2), 3);
    }

    void theFourItems() {
        const std::pair<QAction*, qulonglong> items[] = {
            {w->btnHash2, 524288}, {w->btnHash3, 1048576}, {w->btnHash4, 2097152}, {w->btnHash1, 262144}};
        for (const auto& [item, entries] : items) {
            item->trigger();
            QCOMPARE(HashTableEntries, entries);
            QCOMPARE(Checked(), item);
        }
        QVERIFY(boxes.shown.empty());
    }

    void theCustomSize() {
        w->SetHashSize(8, false);
        const HashEntry* table = HashTable;
        // The current size, or Cancel: nothing happens.
        boxes.typed = {QString("8"), std::nullopt};
        w->btnHash5->trigger();
        w->btnHash5->trigger();
        QCOMPARE(boxes.inputs.size(), std::size_t{2});
        QCOMPARE(boxes.inputs[0].caption, QString("Hash Table"));
        QCOMPARE(boxes.inputs[0].text, QString("Enter Hash Table size (in MB):"));
        QVERIFY(boxes.shown.empty());
        QCOMPARE(HashTable, table);
        QCOMPARE(Checked(), w->btnHash2);

        boxes.typed = {QString(" 100 ")};
        w->btnHash5->trigger();
        QCOMPARE(w->HashSizeMB, 64);
        QCOMPARE(Checked(), w->btnHash5);
        QCOMPARE(boxes.shown.size(), std::size_t{1});
        QCOMPARE(boxes.shown[0].text, QString("64MB Hash initialized!"));
        QCOMPARE(boxes.shown[0].caption, QString("Hash"));

        // Not a number: said, then 4 MB, announced.
        boxes.shown.clear();
        boxes.typed = {QString("lots")};
        w->btnHash5->trigger();
        QCOMPARE(boxes.shown.size(), std::size_t{2});
        QCOMPARE(boxes.shown[0].text, QString("Invalid value!"));
        QCOMPARE(boxes.shown[1].text, QString("4MB Hash initialized!"));
        QCOMPARE(HashTableEntries, 262144ull);
        QCOMPARE(Checked(), w->btnHash1);
    }

    // More than the machine holds is never allocated: the start-up table,
    // with a message, and the size set last is kept.
    void aSizeTheMachineCannotHoldIsRefused() {
        const qulonglong physicalMB = PhysicalMemoryBytes() >> 20;
        QVERIFY(physicalMB > 0);
        w->SetHashSize(16, false);
        for (const int megabytes : {static_cast<int>(std::min<qulonglong>(INT_MAX, 2 * physicalMB)), INT_MAX}) {
            boxes.shown.clear();
            w->SetHashSize(megabytes, true);
            QCOMPARE(boxes.shown.size(), std::size_t{1});
            QCOMPARE(boxes.shown[0].text, QString("Error initializing hash!"));
            QCOMPARE(boxes.shown[0].caption, QString("Error"));
            QCOMPARE(HashTableEntries, INITIAL_HASH_ENTRIES);
            QCOMPARE(w->HashSizeMB, 16);
            QCOMPARE(Checked(), w->btnHash1);
            StoreHash(60, 7, HASH_EXACT, 0xFFFFFFFFu, 2, 3);
            QCOMPARE(ProbeHashMove(0xFFFFFFFFu, 2), 3);
        }
    }

    // 2048 MB and more do not fit 32 bits of bytes; they work when the
    // process may take the memory.
    void sizesOfTwoGigabytesAndMore() {
        if (PhysicalMemoryBytes() < (8ull << 30)) QSKIP("needs a machine with 8 GB");
        const qulonglong room = AllocatableBytes();
        if (room < (3ull << 30))
            QSKIP(qPrintable(QString("needs 3 GB that this process may take; its limits (free memory, address "
                                     "space, control group) leave %1 MB").arg(room >> 20)));
        w->SetHashSize(2048, false);
        QCOMPARE(HashTableEntries, 1ull << 27);
        QCOMPARE(w->HashSizeMB, 2048);
        QCOMPARE(Checked(), w->btnHash5);
        StoreHash(60, 7, HASH_EXACT, 0xFFFFFFFFu, 2, 3);
        QCOMPARE(ProbeHashMove(0xFFFFFFFFu, 2), 3);
        QCOMPARE(ProbeHashMove(0x07FFFFFFu, 2), 0);
        w->SetHashSize(4, false);
        QCOMPARE(HashTableEntries, 262144ull);
    }

    // The items used while the computer thinks replace the tables under the
    // suspended search, which goes on with the new ones to a legal move. The
    // test's clock stands still, so only the test ends the search: with Stop,
    // after the twentieth replacement.
    void tablesReplacedDuringASearch() {
        CloseWindow();
        ResetWindowTest();
        MakeWindow();
        TestWindow& p = *w;
        p.thinks = true;
        TimeControlType = TIME_PER_MOVE;
        LevelsDialog(&p)->cboxSecs1->setEditText("2");
        UseBook = false;
        p.SetUp("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
        constexpr int wanted = 20;
        int resizes = 0;
        QAction* const items[] = {p.btnHash2, p.btnHash1, p.btnHash3, p.btnHash5, p.btnHash4};
        QTimer during;
        during.setInterval(0);
        connect(&during, &QTimer::timeout, [&] {
            if (!p.TickRunning() || resizes == wanted) return;
            boxes.typed = {QString::number(1 + resizes % 3)};
            items[resizes % 5]->trigger();
            ++resizes;
            if (resizes % 7 == 0) p.UseHashClick();
            if (resizes == wanted) p.btnStopClick();
        });
        during.start();
        HumanToMove = false;
        p.Timer1Timer();
        during.stop();
        p.Timer1->stop();
        p.tmrClock->stop();
        QCOMPARE(resizes, wanted);
        QCOMPARE(p.CurrentPly, 1);
        QVERIFY(HumanToMove);
    }
};

QTEST_MAIN(HashSizeTest)
#include "test_hashsize.moc"
