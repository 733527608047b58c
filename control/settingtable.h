// The commands of a window as one table of rows. A row names its command
// once; the command dispatch and the lines of a saved setup file both come
// from the rows, so a setting cannot be loadable but forgotten by the saver
// (or the other way round) by accident.
//
// Row format, one adder call per row:
//   t.<form>(name, saved, read, set);
//     form   flag, integer, real, text, dirPatterns, flagInt, intReal,
//            fourReals; command(name, set) for a command without arguments
//     saved  the setup-file section the line goes to, asComment(section),
//            or notSaved; within a section, lines follow the table order
//     read   const T& -> the value (bool, int, double, QString, file for
//            "dir patterns", std::pair for two values); nullptr when not
//            saved. A dirPatterns reader returning "" writes no line.
//     set    (T&, values...) applied to the parsed arguments; may return
//            CmdEnd (else Done) and may take the BatchCmd as last argument
#pragma once

#include "control/batchcmd.h"
#include "control/setupfile.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

// How a command leaves a batch: going on at once, or waiting for the end of
// a reconstruction run, of a load, or of continuous 2DA of the viewer link.
enum class CmdEnd { Done, Run, Load, Viewer };

// The sections of a setup file, in file order.
enum class SetupSection { OriginalImages, CtSetting, CtCalculation, CtXafs };

inline QString setupSectionTitle(SetupSection s)
{
    static const std::array<const char*, 4> titles{"## Original Images", "## CT Reconstruction setting",
                                                   "## CT Reconstruction calculation",
                                                   "## Additional Settings for CT-XAFS"};
    return QString::fromLatin1(titles[size_t(s)]);
}

// Where a row's line goes in a saved setup. A commented line ("#name")
// records the setting without loading it back.
struct SavedAt {
    SavedAt() = default;
    SavedAt(SetupSection s, bool asComment = false) : saved(true), section(s), comment(asComment) {}
    bool saved = false;
    SetupSection section = SetupSection::OriginalImages;
    bool comment = false;
};
inline const SavedAt notSaved;
inline SavedAt asComment(SetupSection s)
{
    return {s, true};
}

// Argument conventions of a command line.
enum class ArgForm { None, Flag, Int, Real, Text, DirPatterns, FlagInt, IntReal, FourReals };

template <typename T>
class SettingTable
{
public:
    struct Row {
        QString name;
        ArgForm form = ArgForm::None;
        SavedAt at;
        std::function<QStringList(const T&)> read; // the saved values
        std::function<CmdEnd(T&, const BatchCmd&)> set;
    };

    template <typename Set>
    void command(const QString& name, Set set)
    {
        add(name, ArgForm::None, notSaved, nullptr, [set](T& t, const BatchCmd& c) { return call(set, t, c); });
    }
    template <typename Set>
    void flag(const QString& name, SavedAt at, std::function<bool(const T&)> get, Set set)
    {
        add(name, ArgForm::Flag, at, reader(get, [](bool v) { return QStringList{setupFlagText(v)}; }),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.flagArg()); });
    }
    template <typename Set>
    void integer(const QString& name, SavedAt at, std::function<int(const T&)> get, Set set)
    {
        add(name, ArgForm::Int, at, reader(get, [](int v) { return QStringList{setupIntText(v)}; }),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.intArg()); });
    }
    template <typename Set>
    void real(const QString& name, SavedAt at, std::function<double(const T&)> get, Set set)
    {
        add(name, ArgForm::Real, at, reader(get, [](double v) { return QStringList{setupRealText(v)}; }),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.realArg()); });
    }
    template <typename Set>
    void text(const QString& name, SavedAt at, std::function<QString(const T&)> get, Set set)
    {
        add(name, ArgForm::Text, at, reader(get, [](const QString& v) { return QStringList{setupQuotedText(v)}; }),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.textArg()); });
    }
    template <typename Set>
    void dirPatterns(const QString& name, SavedAt at, std::function<QString(const T&)> get, Set set)
    {
        add(name, ArgForm::DirPatterns, at,
            reader(get, [](const QString& file) { return file.isEmpty() ? QStringList() : setupDirPatterns(file); }),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.dirArg(), c.patternArgs()); });
    }
    template <typename Set>
    void flagInt(const QString& name, SavedAt at, std::function<std::pair<bool, int>(const T&)> get, Set set)
    {
        const auto fmt = [](std::pair<bool, int> v) { return QStringList{setupFlagText(v.first), setupIntText(v.second)}; };
        add(name, ArgForm::FlagInt, at, reader(get, fmt),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.flagArg(0), c.intArg(1)); });
    }
    template <typename Set>
    void intReal(const QString& name, SavedAt at, std::function<std::pair<int, double>(const T&)> get, Set set)
    {
        const auto fmt = [](std::pair<int, double> v) { return QStringList{setupIntText(v.first), setupRealText(v.second)}; };
        add(name, ArgForm::IntReal, at, reader(get, fmt),
            [set](T& t, const BatchCmd& c) { return call(set, t, c, c.intArg(0), c.realArg(1)); });
    }
    // Regions are never saved.
    template <typename Set>
    void fourReals(const QString& name, Set set)
    {
        add(name, ArgForm::FourReals, notSaved, nullptr, [set](T& t, const BatchCmd& c) {
            return call(set, t, c, c.realArg(0), c.realArg(1), c.realArg(2), c.realArg(3));
        });
    }
    // Another name of the row `of`, never saved; `inverted` flips its flag.
    void alias(const QString& name, const QString& of, bool inverted = false)
    {
        const Row* r = find(of);
        Q_ASSERT(r && (!inverted || r->form == ArgForm::Flag));
        std::function<CmdEnd(T&, const BatchCmd&)> set = r->set;
        if (inverted)
            set = [set](T& t, const BatchCmd& c) {
                BatchCmd flipped = c;
                flipped.args = QStringList{setupFlagText(!c.flagArg())};
                return set(t, flipped);
            };
        add(name, r->form, notSaved, nullptr, set);
    }

    const Row* find(const QString& name) const
    {
        const int i = index.value(name.toUpper(), -1);
        return i < 0 ? nullptr : &list[size_t(i)];
    }
    const std::vector<Row>& rows() const { return list; }

    // Names match ignoring case; a name of no row does nothing.
    CmdEnd exec(T& t, const BatchCmd& cmd) const
    {
        const Row* r = find(cmd.name);
        return r ? r->set(t, cmd) : CmdEnd::Done;
    }

    // Every section, each with its saved rows in table order.
    void write(SetupFileWriter& w, const T& t) const
    {
        for (const SetupSection s : {SetupSection::OriginalImages, SetupSection::CtSetting,
                                     SetupSection::CtCalculation, SetupSection::CtXafs}) {
            w.section(setupSectionTitle(s));
            for (const Row& r : list) {
                if (!r.at.saved || r.at.section != s)
                    continue;
                const QStringList values = r.read(t);
                if (!values.isEmpty())
                    w.command(r.at.comment ? QLatin1Char('#') + r.name : r.name, values);
            }
        }
    }

private:
    void add(const QString& name, ArgForm form, SavedAt at, std::function<QStringList(const T&)> read,
             std::function<CmdEnd(T&, const BatchCmd&)> set)
    {
        const QString& n = name;
        Q_ASSERT(!index.contains(n.toUpper()) && (read != nullptr) == at.saved);
        index.insert(n.toUpper(), int(list.size()));
        list.push_back({n, form, at, std::move(read), std::move(set)});
    }

    template <typename V, typename Fmt>
    static std::function<QStringList(const T&)> reader(std::function<V(const T&)> get, Fmt fmt)
    {
        if (!get)
            return nullptr;
        return [get, fmt](const T& t) { return fmt(get(t)); };
    }

    // Runs set with the parsed values, and the command itself when it asks for it.
    template <typename Set, typename... A>
    static CmdEnd call(const Set& set, T& t, const BatchCmd& c, const A&... a)
    {
        if constexpr (std::is_invocable_v<const Set&, T&, const A&..., const BatchCmd&>)
            return done(set, t, a..., c);
        else
            return done(set, t, a...);
    }
    template <typename Set, typename... A>
    static CmdEnd done(const Set& set, T& t, const A&... a)
    {
        if constexpr (std::is_void_v<std::invoke_result_t<const Set&, T&, const A&...>>) {
            set(t, a...);
            return CmdEnd::Done;
        } else {
            return set(t, a...);
        }
    }

    std::vector<Row> list;
    QHash<QString, int> index;
};
