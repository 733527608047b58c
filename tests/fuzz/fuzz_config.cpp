// Arbitrary bytes as a configuration file: no crash, no unbounded read, and
// a table whose lookups give what its entries hold (the last setting of a
// key wins in place, so each key appears once).
#include "app/optiontable.h"
#include "tests/fuzz/fuzztempfile.h"

#include <QSet>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzQuiet();
    const QString path = fuzzInputFile("config", data, size);
    OptionTable t;
    if (path.isEmpty() || !t.readConfigFile(path))
        return 0;
    QSet<QString> keys;
    for (const OptionTable::Entry& e : t.entries()) {
        if (keys.contains(e.key) || !t.contains(e.key) || t.value(e.key) != e.value)
            __builtin_trap();
        keys.insert(e.key);
        // Keys that differ only in case share one answer: the latest set.
        const QString upper = e.key.toUpper(), v = t.valueNoCase(upper, QStringLiteral("\n"));
        bool fromACaseVariant = false;
        for (const OptionTable::Entry& f : t.entries())
            fromACaseVariant = fromACaseVariant || (f.key.toUpper() == upper && f.value == v);
        if (!fromACaseVariant)
            __builtin_trap();
    }
    return 0;
}

void fenu2FuzzSeeds(QList<QByteArray>* seeds)
{
    *seeds << QByteArray("# config.cfg\nDataRoot \"/data/2026B beam time\"   # where\nnative_dialog 0\n"
                         "Tessela localhost 6078\n-nw\nINCLUDE missing.cfg\npng_compression 1\n")
           << QByteArray("include \"a b.cfg\"\r\nDataRoot '/x y'\r\nkey\tvalue\textra more\n\"open quote\n");
}
