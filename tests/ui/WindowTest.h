// What the window tests share: temporary settings and library, answered boxes, the fake platform.
#pragma once

#include "FakePlatform.h"
#include "LibraryStore.h"
#include "QuickListParts.h"
#include "RecordLoader.h"
#include "Settings.h"
#include "TestEnv.h"
#include "quick_list/QuickListModels.h"
#include "quick_list/QuickListWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

// The sample library: "常用" lists 1 and 2; the groups come in the order SQL, 邮件, 签名, 其他.
inline const QString Sample =
    "INSERT INTO VBcode VALUES (1, 'SQL', 'Sub', '★★　查询全部', 'SELECT * FROM t', '20240105', '常用');"
    "INSERT INTO VBcode VALUES (2, '邮件', 'Sub', '客户''s 回复', '您好，已收到。', '20240104', '常用');"
    "INSERT INTO VBcode VALUES (3, 'SQL', 'Class', '更新一行', 'UPDATE t', '20240103', '');"
    "INSERT INTO VBcode VALUES (4, '签名', 'Sub', '签名', '签名', '20240102', '');"
    "INSERT INTO VBcode VALUES (0, '其他', 'API', '零号记录', 'zero', '20240101', '');";

struct Fixture {
    explicit Fixture(const QString &records = Sample) : store(env.makeLibrary(records)) {}
    QString sql(const QString &statement) const { return TestEnv::sql(store.path(), statement).join(','); }

    TestEnv env;
    FakePlatformGuard fake;
    Settings settings;
    LibraryStore store;
};

// A quick list on the sample library.
struct ListFixture : Fixture {
    using Fixture::Fixture;
    // The list shown, with the whole library read.
    QuickListWindow *open() {
        list = std::make_unique<QuickListWindow>(settings, store, loader);
        list->move(200, 100);
        list->show();
        return QTest::qWaitForWindowExposed(list.get()) && waitForRecords() ? list.get() : nullptr;
    }
    bool waitForRecords() const {
        return QTest::qWaitFor([this] { return !feed(list.get()).isReading(); }, 10000);
    }
    // The row of a record; -1 when none shows it.
    int rowOf(qint64 id) const {
        for (int row = 0; row < rowsOf(list.get()).rowCount(); ++row)
            if (rowsOf(list.get()).text(row, col::Id) == QString::number(id))
                return row;
        return -1;
    }
    // What a cell shows, or the name of its colour.
    QString shown(int row, int column, int role = Qt::DisplayRole) const {
        const QVariant v = recordModel(list.get())->index(row, column).data(role);
        return role == Qt::ForegroundRole ? v.value<QBrush>().color().name() : v.toString();
    }

    RecordLoader loader{store};
    std::unique_ptr<QuickListWindow> list;
};

// A loader whose reads of the whole library wait until the test lets them go.
class GatedLoader : public RecordLoader {
  public:
    using RecordLoader::RecordLoader;
    mutable QSemaphore gate;

  protected:
    Outcome<RecordTable> readRecords(const std::atomic<bool> *cancel) const override {
        while (!gate.tryAcquire(1, 5))
            if (cancel->load())
                return StoreError::Refused;
        return RecordLoader::readRecords(cancel);
    }
};

// A stored last-used entry: columns 1 to 7 of its row.
inline QString lastUsed(const QStringList &columns) {
    return LastUsedSeparator + columns.join(LastUsedSeparator);
}
