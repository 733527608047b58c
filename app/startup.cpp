#include "app/startup.h"

#include "app/optiontable.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTranslator>

#include <cstdio>
#include <cstring>

static QString nonEmpty(const QString& text, const QString& fallback)
{
    return text.isEmpty() ? fallback : text;
}

StartupPlan prepareStartup(OptionTable& table, const QStringList& args)
{
    StartupPlan plan;
    table.parseArgs(args);

    const QString defaultConfig = plan.configFile;
    if (table.contains(QStringLiteral("-c")))
        plan.configFile = nonEmpty(table.value(QStringLiteral("-c")), defaultConfig);
    if (table.contains(QStringLiteral("-config")))
        plan.configFile = nonEmpty(table.value(QStringLiteral("-config")), defaultConfig);
    table.readConfigFile(plan.configFile);

    setDataRoot(table.value(QStringLiteral("DataRoot"), dataRoot()));
    if (table.contains(QStringLiteral("-d")))
        setDataRoot(table.value(QStringLiteral("-d"), dataRoot()));

    plan.english = table.contains(QStringLiteral("-e"));
    plan.loadBatch = table.contains(QStringLiteral("-b"));
    if (plan.loadBatch)
        plan.batchFile = nonEmpty(table.value(QStringLiteral("-b")), plan.batchFile);
    plan.execBatch = table.contains(QStringLiteral("-x"));
    plan.noWindow = table.contains(QStringLiteral("-nw"));
    plan.partGiven = table.contains(QStringLiteral("-part"));
    plan.part = table.value(QStringLiteral("-part"));
    plan.checkOnly = table.contains(QStringLiteral("-check"));
    return plan;
}

bool installTranslation(QCoreApplication& app, QTranslator& translator, const StartupPlan& plan)
{
    if (plan.english)
        return false;
    if (!translator.load(QStringLiteral(":Fenu2_ja_JP")))
        qDebug().noquote() << QStringLiteral("Can't load translation : :Fenu2_ja_JP");
    app.installTranslator(&translator);
    return true;
}

namespace {
QtMessageHandler passOn = nullptr;

void dropPlatformNotices(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (context.category && std::strncmp(context.category, "qt.qpa", 6) == 0)
        return;
    // Both come in the default category.
    if (msg.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))
        || msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (passOn)
        passOn(type, context, msg);
    else
        std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
}
} // namespace

void quietPlatformNotices()
{
    QtMessageHandler previous = qInstallMessageHandler(dropPlatformNotices);
    if (previous != dropPlatformNotices)
        passOn = previous;
}
