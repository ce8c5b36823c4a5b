#include "platform/wordproc/DocxWriter.h"

#include "platform/wordproc/WordDocument.h"

#include <QIODevice>
#include <QSet>
#include <QXmlStreamWriter>

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>

namespace {

const QString kW = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString kR = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kWp = QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing");
const QString kA = QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main");
const QString kPic = QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/picture");

QString num(double v)
{
    return QString::number(static_cast<qint64>(std::llround(v)));
}

QString twips(double points)
{
    return num(points * 20.0);
}

QString colorText(int color)
{
    if (color == WordFont::kAutomaticColor)
        return QStringLiteral("auto");
    const int r = color & 0xff, g = (color >> 8) & 0xff, b = (color >> 16) & 0xff;
    return QStringLiteral("%1%2%3").arg(r, 2, 16, QLatin1Char('0')).arg(g, 2, 16, QLatin1Char('0'))
        .arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

// Characters XML 1.0 cannot hold are dropped.
QString xmlSafe(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if (u >= 0x20 || u == 0x09)
            out += c;
    }
    return out;
}

class BodyWriter
{
public:
    BodyWriter(const WordDocument& doc, QXmlStreamWriter* xml) : m_doc(doc), m_xml(xml) {}

    struct Media {
        QString id;
        QString target;
        const WordInlineShape* shape;
    };
    QVector<Media> media;
    QSet<QString> fonts; // every font name the runs use

    void paragraphProperties(const WordParagraphFormat& f, int sectionBreak)
    {
        QXmlStreamWriter& x = *m_xml;
        x.writeStartElement(kW, QStringLiteral("pPr"));
        x.writeEmptyElement(kW, QStringLiteral("spacing"));
        x.writeAttribute(kW, QStringLiteral("before"), twips(f.spaceBefore));
        x.writeAttribute(kW, QStringLiteral("after"), twips(f.spaceAfter));
        const int line = f.lineSpacingRule == 1 ? 360 : f.lineSpacingRule == 2 ? 480 : 240;
        x.writeAttribute(kW, QStringLiteral("line"), QString::number(line));
        x.writeAttribute(kW, QStringLiteral("lineRule"), QStringLiteral("auto"));
        if (f.firstLineIndent != 0.0) {
            x.writeEmptyElement(kW, QStringLiteral("ind"));
            if (f.firstLineIndent > 0)
                x.writeAttribute(kW, QStringLiteral("firstLine"), twips(f.firstLineIndent));
            else
                x.writeAttribute(kW, QStringLiteral("hanging"), twips(-f.firstLineIndent));
        }
        static const char* const jc[] = {"left", "center", "right", "both"};
        x.writeEmptyElement(kW, QStringLiteral("jc"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         QLatin1String(jc[f.alignment >= 0 && f.alignment <= 3 ? f.alignment : 0]));
        if (f.outlineLevel >= 1 && f.outlineLevel <= 9) {
            x.writeEmptyElement(kW, QStringLiteral("outlineLvl"));
            x.writeAttribute(kW, QStringLiteral("val"), QString::number(f.outlineLevel - 1));
        }
        if (sectionBreak)
            sectionProperties(sectionBreak);
        x.writeEndElement();
    }

    void sectionProperties(int breakType)
    {
        QXmlStreamWriter& x = *m_xml;
        const WordPageSetup& p = m_doc.pageSetup();
        x.writeStartElement(kW, QStringLiteral("sectPr"));
        static const char* const types[] = {"nextPage", "continuous", "evenPage", "oddPage"};
        x.writeEmptyElement(kW, QStringLiteral("type"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         QLatin1String(types[breakType >= 2 && breakType <= 5 ? breakType - 2 : 0]));
        x.writeEmptyElement(kW, QStringLiteral("pgSz"));
        x.writeAttribute(kW, QStringLiteral("w"), twips(p.pageWidth));
        x.writeAttribute(kW, QStringLiteral("h"), twips(p.pageHeight));
        if (p.pageWidth > p.pageHeight)
            x.writeAttribute(kW, QStringLiteral("orient"), QStringLiteral("landscape"));
        x.writeEmptyElement(kW, QStringLiteral("pgMar"));
        x.writeAttribute(kW, QStringLiteral("top"), twips(p.topMargin));
        x.writeAttribute(kW, QStringLiteral("right"), twips(p.rightMargin));
        x.writeAttribute(kW, QStringLiteral("bottom"), twips(p.bottomMargin));
        x.writeAttribute(kW, QStringLiteral("left"), twips(p.leftMargin));
        x.writeAttribute(kW, QStringLiteral("header"), QStringLiteral("851"));
        x.writeAttribute(kW, QStringLiteral("footer"), QStringLiteral("992"));
        x.writeAttribute(kW, QStringLiteral("gutter"), QStringLiteral("0"));
        x.writeEndElement();
    }

    void runProperties(const WordFont& f)
    {
        QXmlStreamWriter& x = *m_xml;
        x.writeStartElement(kW, QStringLiteral("rPr"));
        x.writeEmptyElement(kW, QStringLiteral("rFonts"));
        for (const char* a : {"ascii", "eastAsia", "hAnsi", "cs"})
            x.writeAttribute(kW, QLatin1String(a), f.name);
        if (f.bold) {
            x.writeEmptyElement(kW, QStringLiteral("b"));
            x.writeEmptyElement(kW, QStringLiteral("bCs"));
        }
        x.writeEmptyElement(kW, QStringLiteral("color"));
        x.writeAttribute(kW, QStringLiteral("val"), colorText(f.color));
        const QString halfPoints = num(f.size * 2.0);
        x.writeEmptyElement(kW, QStringLiteral("sz"));
        x.writeAttribute(kW, QStringLiteral("val"), halfPoints);
        x.writeEmptyElement(kW, QStringLiteral("szCs"));
        x.writeAttribute(kW, QStringLiteral("val"), halfPoints);
        if (!m_doc.eastAsianLanguage().isEmpty()) {
            x.writeEmptyElement(kW, QStringLiteral("lang"));
            x.writeAttribute(kW, QStringLiteral("eastAsia"), m_doc.eastAsianLanguage());
        }
        x.writeEndElement();
        fonts.insert(f.name);
    }

    void textRun(const WordFont& font, const QString& text)
    {
        QXmlStreamWriter& x = *m_xml;
        x.writeStartElement(kW, QStringLiteral("r"));
        runProperties(font);
        const QStringList parts = xmlSafe(text).split(QLatin1Char('\t'));
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0)
                x.writeEmptyElement(kW, QStringLiteral("tab"));
            if (parts[i].isEmpty())
                continue;
            x.writeStartElement(kW, QStringLiteral("t"));
            x.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            x.writeCharacters(parts[i]);
            x.writeEndElement();
        }
        x.writeEndElement();
    }

    void breakRun(int type)
    {
        QXmlStreamWriter& x = *m_xml;
        x.writeStartElement(kW, QStringLiteral("r"));
        x.writeEmptyElement(kW, QStringLiteral("br"));
        if (type == 7)
            x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("page"));
        x.writeEndElement();
    }

    void pictureRun(const WordInlineShape& shape)
    {
        const int n = media.size() + 1;
        Media m;
        m.id = QStringLiteral("rIdImage%1").arg(n);
        m.target = QStringLiteral("media/image%1.%2").arg(n).arg(shape.extension());
        m.shape = &shape;
        media.append(m);

        const QString cx = num(shape.width() * 12700.0);  // EMU per point
        const QString cy = num(shape.height() * 12700.0);
        const QString id = QString::number(n);
        QXmlStreamWriter& x = *m_xml;
        x.writeStartElement(kW, QStringLiteral("r"));
        x.writeStartElement(kW, QStringLiteral("drawing"));
        x.writeStartElement(kWp, QStringLiteral("inline"));
        for (const char* a : {"distT", "distB", "distL", "distR"})
            x.writeAttribute(QLatin1String(a), QStringLiteral("0"));
        x.writeEmptyElement(kWp, QStringLiteral("extent"));
        x.writeAttribute(QStringLiteral("cx"), cx);
        x.writeAttribute(QStringLiteral("cy"), cy);
        x.writeEmptyElement(kWp, QStringLiteral("docPr"));
        x.writeAttribute(QStringLiteral("id"), id);
        x.writeAttribute(QStringLiteral("name"), QStringLiteral("Picture %1").arg(n));
        x.writeStartElement(kWp, QStringLiteral("cNvGraphicFramePr"));
        x.writeEmptyElement(kA, QStringLiteral("graphicFrameLocks"));
        x.writeAttribute(QStringLiteral("noChangeAspect"), QStringLiteral("1"));
        x.writeEndElement();
        x.writeStartElement(kA, QStringLiteral("graphic"));
        x.writeStartElement(kA, QStringLiteral("graphicData"));
        x.writeAttribute(QStringLiteral("uri"), kPic);
        x.writeStartElement(kPic, QStringLiteral("pic"));
        x.writeStartElement(kPic, QStringLiteral("nvPicPr"));
        x.writeEmptyElement(kPic, QStringLiteral("cNvPr"));
        x.writeAttribute(QStringLiteral("id"), id);
        x.writeAttribute(QStringLiteral("name"), QStringLiteral("image%1.%2").arg(n).arg(shape.extension()));
        x.writeEmptyElement(kPic, QStringLiteral("cNvPicPr"));
        x.writeEndElement();
        x.writeStartElement(kPic, QStringLiteral("blipFill"));
        x.writeEmptyElement(kA, QStringLiteral("blip"));
        x.writeAttribute(kR, QStringLiteral("embed"), m.id);
        x.writeStartElement(kA, QStringLiteral("stretch"));
        x.writeEmptyElement(kA, QStringLiteral("fillRect"));
        x.writeEndElement();
        x.writeEndElement();
        x.writeStartElement(kPic, QStringLiteral("spPr"));
        x.writeStartElement(kA, QStringLiteral("xfrm"));
        x.writeEmptyElement(kA, QStringLiteral("off"));
        x.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
        x.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
        x.writeEmptyElement(kA, QStringLiteral("ext"));
        x.writeAttribute(QStringLiteral("cx"), cx);
        x.writeAttribute(QStringLiteral("cy"), cy);
        x.writeEndElement();
        x.writeStartElement(kA, QStringLiteral("prstGeom"));
        x.writeAttribute(QStringLiteral("prst"), QStringLiteral("rect"));
        x.writeEmptyElement(kA, QStringLiteral("avLst"));
        x.writeEndElement();
        x.writeEndElement(); // spPr
        x.writeEndElement(); // pic
        x.writeEndElement(); // graphicData
        x.writeEndElement(); // graphic
        x.writeEndElement(); // inline
        x.writeEndElement(); // drawing
        x.writeEndElement(); // r
    }

    void paragraph(const WordDocument::Paragraph& p)
    {
        m_xml->writeStartElement(kW, QStringLiteral("p"));
        paragraphProperties(p.format, p.sectionBreak);
        for (const auto& run : p.runs) {
            if (run.picture)
                pictureRun(*run.picture);
            else if (run.breakType)
                breakRun(run.breakType);
            else
                textRun(run.font, run.text);
        }
        m_xml->writeEndElement();
    }

    void border(const char* side, const WordBorder& b)
    {
        static const char* const styles[] = {"none", "single", "dotted", "dashSmallGap", "dashed",
                                             "dotDash", "dotDotDash", "double"};
        QXmlStreamWriter& x = *m_xml;
        x.writeEmptyElement(kW, QLatin1String(side));
        x.writeAttribute(kW, QStringLiteral("val"),
                         QLatin1String(b.lineStyle >= 0 && b.lineStyle <= 7 ? styles[b.lineStyle] : "single"));
        x.writeAttribute(kW, QStringLiteral("sz"), QString::number(b.lineStyle == 0 ? 0 : qBound(2, b.lineWidth, 96)));
        x.writeAttribute(kW, QStringLiteral("space"), QStringLiteral("0"));
        x.writeAttribute(kW, QStringLiteral("color"), colorText(b.color));
    }

    void table(const WordTable& t)
    {
        QXmlStreamWriter& x = *m_xml;
        const WordPageSetup& page = m_doc.pageSetup();
        const double textWidth = std::max(36.0, page.pageWidth - page.leftMargin - page.rightMargin);
        double width = textWidth;
        QString wType = QStringLiteral("dxa");
        QString wValue;
        if (t.autoFit() == 2 || (t.preferredWidthType() == 2 && t.preferredWidth() > 0)) {
            const double pct = t.autoFit() == 2 && t.preferredWidthType() != 2 ? 100.0 : t.preferredWidth();
            width = textWidth * pct / 100.0;
            wType = QStringLiteral("pct");
            wValue = num(pct * 50.0);
        } else if (t.preferredWidthType() == 3 && t.preferredWidth() > 0) {
            width = t.preferredWidth();
            wValue = twips(width);
        } else {
            wValue = twips(width);
        }
        const QString column = twips(width / t.columnCount());

        x.writeStartElement(kW, QStringLiteral("tbl"));
        x.writeStartElement(kW, QStringLiteral("tblPr"));
        x.writeEmptyElement(kW, QStringLiteral("tblW"));
        x.writeAttribute(kW, QStringLiteral("w"), wValue);
        x.writeAttribute(kW, QStringLiteral("type"), wType);
        x.writeStartElement(kW, QStringLiteral("tblBorders"));
        static const char* const sides[] = {"top", "left", "bottom", "right", "insideH", "insideV"};
        for (int i = 0; i < 6; ++i)
            border(sides[i], t.borders()[static_cast<size_t>(i)]);
        x.writeEndElement();
        x.writeEmptyElement(kW, QStringLiteral("tblLayout"));
        x.writeAttribute(kW, QStringLiteral("type"), t.autoFit() == 1 ? QStringLiteral("autofit")
                                                                      : QStringLiteral("fixed"));
        x.writeEndElement(); // tblPr

        x.writeStartElement(kW, QStringLiteral("tblGrid"));
        for (int c = 0; c < t.columnCount(); ++c) {
            x.writeEmptyElement(kW, QStringLiteral("gridCol"));
            x.writeAttribute(kW, QStringLiteral("w"), column);
        }
        x.writeEndElement();

        for (int r = 1; r <= t.rowCount(); ++r) {
            x.writeStartElement(kW, QStringLiteral("tr"));
            if (t.rowHeightRule() != 0 && t.rowHeight() > 0) {
                x.writeStartElement(kW, QStringLiteral("trPr"));
                x.writeEmptyElement(kW, QStringLiteral("trHeight"));
                x.writeAttribute(kW, QStringLiteral("val"), twips(t.rowHeight()));
                x.writeAttribute(kW, QStringLiteral("hRule"), t.rowHeightRule() == 2 ? QStringLiteral("exact")
                                                                                      : QStringLiteral("atLeast"));
                x.writeEndElement();
            }
            for (int c = 1; c <= t.columnCount(); ++c) {
                const WordCell* cell = t.cell(r, c);
                x.writeStartElement(kW, QStringLiteral("tc"));
                x.writeStartElement(kW, QStringLiteral("tcPr"));
                x.writeEmptyElement(kW, QStringLiteral("tcW"));
                x.writeAttribute(kW, QStringLiteral("w"), column);
                x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("dxa"));
                int align = cell->verticalAlignment();
                if (align < 0)
                    align = t.verticallyCentered() ? 1 : 0;
                x.writeEmptyElement(kW, QStringLiteral("vAlign"));
                x.writeAttribute(kW, QStringLiteral("val"), align == 1 ? QStringLiteral("center")
                                                          : align == 3 ? QStringLiteral("bottom")
                                                                       : QStringLiteral("top"));
                x.writeEndElement(); // tcPr
                x.writeStartElement(kW, QStringLiteral("p"));
                paragraphProperties(t.paragraphFormat(), 0);
                if (!cell->text().isEmpty())
                    textRun(cell->font(), cell->text());
                for (const auto& picture : cell->pictures())
                    pictureRun(*picture);
                x.writeEndElement(); // p
                x.writeEndElement(); // tc
            }
            x.writeEndElement(); // tr
        }
        x.writeEndElement(); // tbl
    }

private:
    const WordDocument& m_doc;
    QXmlStreamWriter* m_xml;
};

QByteArray relationships(const QVector<QPair<QString, QPair<QString, QString>>>& rels)
{
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
    x.writeStartElement(QStringLiteral("Relationships"));
    for (const auto& r : rels) {
        x.writeEmptyElement(QStringLiteral("Relationship"));
        x.writeAttribute(QStringLiteral("Id"), r.first);
        x.writeAttribute(QStringLiteral("Type"), r.second.first);
        x.writeAttribute(QStringLiteral("Target"), r.second.second);
    }
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

// The package built in memory by libzip, handed out whole once closed.
class ZipPackage
{
public:
    ZipPackage()
    {
        zip_error_t error;
        zip_error_init(&error);
        m_buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
        if (m_buffer) {
            m_archive = zip_open_from_source(m_buffer, ZIP_TRUNCATE, &error);
            // The buffer outlives the archive, which frees it once; a failed
            // open leaves it to us alone.
            if (m_archive)
                zip_source_keep(m_buffer);
        }
        if (!m_archive)
            m_error = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
    }

    ~ZipPackage()
    {
        if (m_archive)
            zip_discard(m_archive);
        if (m_buffer)
            zip_source_free(m_buffer);
    }

    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // The bytes must stay unchanged until finish(): libzip reads them then.
    bool add(const QString& name, const QByteArray& data, bool deflate)
    {
        if (!m_archive)
            return false;
        m_data.push_back(data);
        const QByteArray& kept = m_data.back();
        zip_source_t* source = zip_source_buffer(m_archive, kept.constData(), static_cast<zip_uint64_t>(kept.size()), 0);
        const zip_int64_t index =
            source ? zip_file_add(m_archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            return fail();
        }
        if (zip_set_file_compression(m_archive, static_cast<zip_uint64_t>(index),
                                     deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, deflate ? 9 : 0) != 0)
            return fail();
        return true;
    }

    // Writes the archive into the buffer and copies it out.
    bool finish(QByteArray* bytes)
    {
        if (!m_archive)
            return false;
        if (zip_close(m_archive) != 0)
            return fail();
        m_archive = nullptr;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_source_stat(m_buffer, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) || stat.size > static_cast<zip_uint64_t>(std::numeric_limits<int>::max())
            || zip_source_open(m_buffer) != 0)
            return sourceFailed();
        bytes->resize(static_cast<int>(stat.size));
        const zip_int64_t read = zip_source_read(m_buffer, bytes->data(), stat.size);
        zip_source_close(m_buffer);
        if (read != static_cast<zip_int64_t>(stat.size))
            return sourceFailed();
        return true;
    }

    QString errorString() const { return m_error; }

private:
    bool fail()
    {
        m_error = QString::fromUtf8(zip_strerror(m_archive));
        return false;
    }

    bool sourceFailed()
    {
        m_error = QString::fromUtf8(zip_error_strerror(zip_source_error(m_buffer)));
        return false;
    }

    zip_source_t* m_buffer = nullptr;
    zip_t* m_archive = nullptr;
    std::list<QByteArray> m_data; // stable addresses while the archive is open
    QString m_error;
};

// One entry per font the text uses; the alternatives go into altName, the
// comma-separated list a reader tries where it lacks the font.
QByteArray fontTable(const QSet<QString>& used, const QMap<QString, QStringList>& alternatives)
{
    QStringList names = used.values();
    names.sort();
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeNamespace(kW, QStringLiteral("w"));
    x.writeStartElement(kW, QStringLiteral("fonts"));
    for (const QString& name : names) {
        x.writeStartElement(kW, QStringLiteral("font"));
        x.writeAttribute(kW, QStringLiteral("name"), xmlSafe(name));
        const QStringList others = alternatives.value(name);
        if (!others.isEmpty()) {
            x.writeEmptyElement(kW, QStringLiteral("altName"));
            x.writeAttribute(kW, QStringLiteral("val"), xmlSafe(others.join(QLatin1Char(','))));
        }
        x.writeEmptyElement(kW, QStringLiteral("family"));
        x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("auto"));
        x.writeEmptyElement(kW, QStringLiteral("pitch"));
        x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("variable"));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

} // namespace

bool DocxWriter::write(const WordDocument& document, QIODevice* device, QString* error)
{
    QByteArray body;
    QXmlStreamWriter x(&body);
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeNamespace(kW, QStringLiteral("w"));
    x.writeNamespace(kR, QStringLiteral("r"));
    x.writeNamespace(kWp, QStringLiteral("wp"));
    x.writeNamespace(kA, QStringLiteral("a"));
    x.writeNamespace(kPic, QStringLiteral("pic"));
    x.writeStartElement(kW, QStringLiteral("document"));
    x.writeStartElement(kW, QStringLiteral("body"));
    BodyWriter w(document, &x);
    for (const auto& block : document.blocks()) {
        if (block.paragraph)
            w.paragraph(*block.paragraph);
        else
            w.table(*block.table);
    }
    w.paragraph(document.openParagraph()); // the body always ends with a paragraph
    w.sectionProperties(2);
    x.writeEndElement(); // body
    x.writeEndElement(); // document
    x.writeEndDocument();

    QByteArray types;
    {
        QXmlStreamWriter t(&types);
        t.writeStartDocument(QStringLiteral("1.0"), true);
        t.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
        t.writeStartElement(QStringLiteral("Types"));
        t.writeEmptyElement(QStringLiteral("Default"));
        t.writeAttribute(QStringLiteral("Extension"), QStringLiteral("rels"));
        t.writeAttribute(QStringLiteral("ContentType"),
                         QStringLiteral("application/vnd.openxmlformats-package.relationships+xml"));
        t.writeEmptyElement(QStringLiteral("Default"));
        t.writeAttribute(QStringLiteral("Extension"), QStringLiteral("xml"));
        t.writeAttribute(QStringLiteral("ContentType"), QStringLiteral("application/xml"));
        QSet<QString> seen;
        for (const auto& m : w.media) {
            if (seen.contains(m.shape->extension()))
                continue;
            seen.insert(m.shape->extension());
            t.writeEmptyElement(QStringLiteral("Default"));
            t.writeAttribute(QStringLiteral("Extension"), m.shape->extension());
            t.writeAttribute(QStringLiteral("ContentType"), m.shape->contentType());
        }
        t.writeEmptyElement(QStringLiteral("Override"));
        t.writeAttribute(QStringLiteral("PartName"), QStringLiteral("/word/document.xml"));
        t.writeAttribute(QStringLiteral("ContentType"),
                         QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"));
        t.writeEmptyElement(QStringLiteral("Override"));
        t.writeAttribute(QStringLiteral("PartName"), QStringLiteral("/word/fontTable.xml"));
        t.writeAttribute(QStringLiteral("ContentType"),
                         QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml"));
        t.writeEndElement();
        t.writeEndDocument();
    }

    const QString officeDocument =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument");
    const QString image = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/image");
    QVector<QPair<QString, QPair<QString, QString>>> docRels;
    docRels.append({QStringLiteral("rIdFontTable"),
                    {QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/fontTable"),
                     QStringLiteral("fontTable.xml")}});
    for (const auto& m : w.media)
        docRels.append({m.id, {image, m.target}});

    ZipPackage zip;
    bool ok = zip.add(QStringLiteral("[Content_Types].xml"), types, true)
           && zip.add(QStringLiteral("_rels/.rels"),
                      relationships({{QStringLiteral("rId1"), {officeDocument, QStringLiteral("word/document.xml")}}}),
                      true)
           && zip.add(QStringLiteral("word/document.xml"), body, true)
           && zip.add(QStringLiteral("word/fontTable.xml"), fontTable(w.fonts, document.fontAlternatives()), true)
           && zip.add(QStringLiteral("word/_rels/document.xml.rels"), relationships(docRels), true);
    // Pictures are compressed already.
    for (int i = 0; ok && i < w.media.size(); ++i)
        ok = zip.add(QStringLiteral("word/") + w.media[i].target, w.media[i].shape->data(), false);
    QByteArray package;
    ok = ok && zip.finish(&package);
    if (ok && device->write(package) != package.size()) {
        ok = false;
        if (error)
            *error = device->errorString();
    } else if (!ok && error) {
        *error = zip.errorString();
    }
    return ok;
}
