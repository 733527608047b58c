#include "control/settingtable.h"

#include <QtTest>

namespace {

struct State {
    bool on = false;
    int n = 0;
    double x = 0;
    QString text, dir, file, seen;
    std::pair<bool, int> multi{false, 0};
    std::pair<int, double> rec{0, 0};
    std::array<double, 4> region{};
    bool operator==(const State& o) const
    {
        return on == o.on && n == o.n && x == o.x && text == o.text && dir == o.dir && multi == o.multi && rec == o.rec;
    }
};

// Sections on purpose out of table order.
const SettingTable<State>& table()
{
    using S = SetupSection;
    static const SettingTable<State> t = [] {
        SettingTable<State> t;
        t.real("x", S::CtSetting, [](const State& s) { return s.x; }, [](State& s, double v) { s.x = v; });
        t.flag("on", S::OriginalImages, [](const State& s) { return s.on; }, [](State& s, bool f) { s.on = f; });
        t.alias("off", "on", true);
        t.dirPatterns("load", asComment(S::OriginalImages), [](const State& s) { return s.file; },
                      [](State& s, const QString& d, const QStringList&) { s.file = d; return CmdEnd::Load; });
        t.integer("n", S::CtXafs, [](const State& s) { return s.n; }, [](State& s, int i) { s.n = i; });
        t.text("text", S::CtXafs, [](const State& s) { return s.text; },
               [](State& s, const QString& v, const BatchCmd& c) { s.text = v, s.seen = c.name; });
        t.dirPatterns("dir", S::CtXafs, [](const State& s) { return s.dir; },
                      [](State& s, const QString& d, const QStringList& p) { s.dir = d + "/f" + p.value(0).mid(1); });
        t.flagInt("multi", S::CtCalculation, [](const State& s) { return s.multi; }, [](State& s, bool f, int i) { s.multi = {f, i}; });
        t.intReal("rec", S::CtCalculation, [](const State& s) { return s.rec; }, [](State& s, int i, double v) { s.rec = {i, v}; });
        t.fourReals("region", [](State& s, double a, double b, double c, double d) { s.region = {a, b, c, d}; });
        t.command("clear", [](State& s) { s.text.clear(); });
        return t;
    }();
    return t;
}

} // namespace

class TstSettingTable : public QObject
{
    Q_OBJECT

private slots:
    // Every saved row loads back to the same state; the commented line is shown, not loaded.
    void saveAndLoad()
    {
        QTemporaryDir tmp;
        const QString name = tmp.filePath("s.cfg");
        State a;
        a.on = true, a.n = -7, a.x = 1e-6, a.text = "a b#c", a.dir = "/d e/f.img", a.file = "/p/q.his";
        a.multi = {true, 12}, a.rec = {4, 30.25};
        SetupFileWriter w;
        QVERIFY(w.open(name));
        table().write(w, a);
        QVERIFY(w.commit());
        QFile f(name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()).split('\n').filter(QRegularExpression("^[^#\\s]")),
                 (QStringList{"on                        1", "x                         1e-06",
                              "multi                     1 12", "rec                       4 30.25",
                              "n                         -7", "text                      \"a b#c\"",
                              "dir                       \"/d e\" *.img"}));
        State b;
        for (const BatchCmd& c : readSetupFile(name))
            table().exec(b, c);
        QCOMPARE(b, a);
        QVERIFY(b.file.isEmpty());
    }

    void dispatch_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("end");
        QTest::newRow("case ignored, command handed over") << "TEXT q" << "text q TEXT" << 0;
        QTest::newRow("inverted alias") << "OFF 0" << "on 1" << 0;
        QTest::newRow("inverted alias, flag 2 is off") << "off 2" << "on 1" << 0;
        QTest::newRow("set returns its end") << "load /d *.img" << "file /d" << 2;
        QTest::newRow("four reals") << "region 1 2.5 x 4" << "region 1 2.5 0 4" << 0;
        QTest::newRow("unknown") << "#on 1" << "on 0" << 0;
    }

    void dispatch()
    {
        QFETCH(QString, line);
        QFETCH(QString, state);
        QFETCH(int, end);
        State s;
        s.text = "t";
        QCOMPARE(int(table().exec(s, BatchCmd::parse(line))), end);
        const QMap<QString, QString> probes{
            {"text", s.text + ' ' + s.seen}, {"on", QString::number(s.on)}, {"file", s.file},
            {"region", QString("%1 %2 %3 %4").arg(s.region[0]).arg(s.region[1]).arg(s.region[2]).arg(s.region[3])}};
        QCOMPARE(state.section(' ', 1), probes.value(state.section(' ', 0, 0)));
    }
};

QTEST_GUILESS_MAIN(TstSettingTable)
#include "tst_settingtable.moc"
