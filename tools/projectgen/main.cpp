// harnwick-projectgen: writes a synthetic survey project from a known earth
// model (see ProjectGenerator.h for what the records hold).

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>

#include "tools/projectgen/ProjectGenerator.h"

namespace {

bool readInt(const QCommandLineParser& parser, const QString& name, int& target, QString& error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok) {
        error = QStringLiteral("--%1 needs a whole number, not \"%2\"").arg(name, parser.value(name));
        return false;
    }
    target = v;
    return true;
}

bool readDouble(const QCommandLineParser& parser, const QString& name, double& target, QString& error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double v = parser.value(name).toDouble(&ok);
    if (!ok) {
        error = QStringLiteral("--%1 needs a number, not \"%2\"").arg(name, parser.value(name));
        return false;
    }
    target = v;
    return true;
}

// A comma-separated list of numbers.
bool readList(const QCommandLineParser& parser, const QString& name, QVector<double>& target, QString& error)
{
    if (!parser.isSet(name))
        return true;
    QVector<double> values;
    const QStringList parts = parser.value(name).split(QLatin1Char(','));
    for (const QString& part : parts) {
        bool ok = false;
        const double v = part.trimmed().toDouble(&ok);
        if (!ok) {
            error = QStringLiteral("--%1 needs numbers separated by commas, not \"%2\"").arg(name, parser.value(name));
            return false;
        }
        values.append(v);
    }
    target = values;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The store's developer trace is not for the user of this tool.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QCoreApplication::setApplicationName(QStringLiteral("harnwick-projectgen"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a synthetic TEM survey project (lines, stations, samples) made from a layered\n"
        "earth model (a half-space by default) with a conductive zone. The instrument family\n"
        "follows the file's suffix."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Project to write (.QELVA or .MORSA)."));
    const QList<QCommandLineOption> options = {
        {QStringLiteral("lines"), QStringLiteral("Number of lines (3)."), QStringLiteral("n")},
        {QStringLiteral("stations"), QStringLiteral("Stations per line (21)."), QStringLiteral("n")},
        {QStringLiteral("samples"), QStringLiteral("Samples per station (3)."), QStringLiteral("n")},
        {QStringLiteral("length"), QStringLiteral("Values per sample, 10 us apart (2000)."), QStringLiteral("n")},
        {QStringLiteral("first-line"), QStringLiteral("First line number (100)."), QStringLiteral("number")},
        {QStringLiteral("line-step"), QStringLiteral("Line number step (10)."), QStringLiteral("number")},
        {QStringLiteral("line-spacing"), QStringLiteral("Distance between lines in m (100)."), QStringLiteral("m")},
        {QStringLiteral("first-station"), QStringLiteral("First station number (0)."), QStringLiteral("number")},
        {QStringLiteral("spacing"), QStringLiteral("Station spacing, the station number step, in m (20)."), QStringLiteral("m")},
        {QStringLiteral("background"), QStringLiteral("Background resistivity in ohm-m (100); a comma-separated list, top "
                                                      "first, gives a layered background."), QStringLiteral("ohm-m[,ohm-m...]")},
        {QStringLiteral("thickness"), QStringLiteral("Thicknesses in m of the background layers but the last, top first."),
         QStringLiteral("m[,m...]")},
        {QStringLiteral("zone"), QStringLiteral("Resistivity of the conductive zone in ohm-m (10)."), QStringLiteral("ohm-m")},
        {QStringLiteral("zone-from"), QStringLiteral("First station number of the zone (a third along each line)."), QStringLiteral("number")},
        {QStringLiteral("zone-to"), QStringLiteral("Last station number of the zone (two thirds along each line)."), QStringLiteral("number")},
        {QStringLiteral("zone-first-line"), QStringLiteral("First line number under which the zone lies (all lines)."), QStringLiteral("number")},
        {QStringLiteral("zone-last-line"), QStringLiteral("Last line number under which the zone lies (all lines)."), QStringLiteral("number")},
        {QStringLiteral("zone-top"), QStringLiteral("Depth in m of the zone's top (0)."), QStringLiteral("m")},
        {QStringLiteral("zone-bottom"), QStringLiteral("Depth in m of the zone's bottom (the whole column)."), QStringLiteral("m")},
        {QStringLiteral("current"), QStringLiteral("Transmitter current in A (10)."), QStringLiteral("A")},
        {QStringLiteral("no-coordinates"), QStringLiteral("Leave the stations without coordinates.")},
        {QStringLiteral("force"), QStringLiteral("Replace an existing file.")},
    };
    parser.addOptions(options);
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        err << "harnwick-projectgen: give exactly one project file, e.g. harnwick-projectgen demo.QELVA\n";
        return 2;
    }
    const QString path = files.first();

    ProjectGenerator::Options o;
    o.family = QFileInfo(path).suffix();
    QString error;
    const bool parsed = readInt(parser, QStringLiteral("lines"), o.lines, error)
        && readInt(parser, QStringLiteral("stations"), o.stationsPerLine, error)
        && readInt(parser, QStringLiteral("samples"), o.samplesPerStation, error)
        && readInt(parser, QStringLiteral("length"), o.sampleLength, error)
        && readDouble(parser, QStringLiteral("first-line"), o.firstLine, error)
        && readDouble(parser, QStringLiteral("line-step"), o.lineStep, error)
        && readDouble(parser, QStringLiteral("line-spacing"), o.lineSpacing, error)
        && readDouble(parser, QStringLiteral("first-station"), o.firstStation, error)
        && readDouble(parser, QStringLiteral("spacing"), o.stationSpacing, error)
        && readList(parser, QStringLiteral("background"), o.backgroundLayers, error)
        && readList(parser, QStringLiteral("thickness"), o.backgroundThicknesses, error)
        && readDouble(parser, QStringLiteral("zone"), o.zoneResistivity, error)
        && readDouble(parser, QStringLiteral("zone-from"), o.zoneFrom, error)
        && readDouble(parser, QStringLiteral("zone-to"), o.zoneTo, error)
        && readDouble(parser, QStringLiteral("zone-first-line"), o.zoneFirstLine, error)
        && readDouble(parser, QStringLiteral("zone-last-line"), o.zoneLastLine, error)
        && readDouble(parser, QStringLiteral("zone-top"), o.zoneTop, error)
        && readDouble(parser, QStringLiteral("zone-bottom"), o.zoneBottom, error)
        && readDouble(parser, QStringLiteral("current"), o.current, error);
    if (!parsed) {
        err << "harnwick-projectgen: " << error << "\n";
        return 2;
    }
    o.coordinates = !parser.isSet(QStringLiteral("no-coordinates"));
    // One background value is the half-space; several are layers.
    if (o.backgroundLayers.size() == 1 && o.backgroundThicknesses.isEmpty()) {
        o.backgroundResistivity = o.backgroundLayers.first();
        o.backgroundLayers.clear();
    } else if (!o.backgroundLayers.isEmpty()) {
        o.backgroundResistivity = o.backgroundLayers.first();
    }

    if (o.family != QLatin1String("QELVA") && o.family != QLatin1String("MORSA")) {
        err << "harnwick-projectgen: the file must end in .QELVA or .MORSA: " << path << "\n";
        return 2;
    }
    const ProjectGenerator generator(o);
    if (!generator.validate(&error)) {
        err << "harnwick-projectgen: " << error << "\n";
        return 2;
    }
    if (QFileInfo::exists(path)) {
        if (!parser.isSet(QStringLiteral("force"))) {
            err << "harnwick-projectgen: " << path << " exists already (--force replaces it)\n";
            return 1;
        }
        if (!QFile::remove(path)) {
            err << "harnwick-projectgen: cannot remove " << path << "\n";
            return 1;
        }
    }
    if (!generator.write(path, &error)) {
        err << "harnwick-projectgen: " << error << "\n";
        return 1;
    }
    out << QFileInfo(path).absoluteFilePath() << "\n";
    out << "  " << o.lines << " lines x " << o.stationsPerLine << " stations x " << o.samplesPerStation
        << " samples of " << o.sampleLength << " values; turn-off at " << generator.turnOffTime()
        << " us; base frequency " << generator.sendFrequency() << " Hz\n";
    return 0;
}
