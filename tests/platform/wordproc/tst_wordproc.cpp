// Builds documents through the word-processor object model and reads the
// saved package back with a zip reader of the test's own.

#include "platform/wordproc/WordApplication.h"
#include "platform/wordproc/WordDocument.h"
#include "platform/wordproc/WordSelection.h"
#include "platform/wordproc/WordTable.h"
#include "platform/wordproc/ZipWriter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <zlib.h>

#include <cmath>

namespace {

const QString kW = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

quint32 crc32Of(const QByteArray& data)
{
    static quint32 table[256];
    static bool ready = false;
    if (!ready) {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data)
        crc = table[(crc ^ static_cast<quint8>(ch)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

quint32 le(const QByteArray& b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b.at(at + i));
    return v;
}

struct ZipEntry {
    QByteArray data;
    int method = -1;
};

// Reads every entry through the central directory, checking local headers,
// sizes and CRCs. Returns false with a reason on any inconsistency.
bool readZip(const QByteArray& zip, QMap<QString, ZipEntry>* out, QString* why)
{
    int eocd = -1;
    for (int i = zip.size() - 22; i >= 0 && i >= zip.size() - 22 - 65535; --i)
        if (le(zip, i, 4) == 0x06054b50) {
            eocd = i;
            break;
        }
    if (eocd < 0) {
        *why = "no end of central directory";
        return false;
    }
    const int count = static_cast<int>(le(zip, eocd + 10, 2));
    const int dirSize = static_cast<int>(le(zip, eocd + 12, 4));
    int pos = static_cast<int>(le(zip, eocd + 16, 4));
    if (pos + dirSize != eocd) {
        *why = "central directory size/offset mismatch";
        return false;
    }
    for (int n = 0; n < count; ++n) {
        if (le(zip, pos, 4) != 0x02014b50) {
            *why = QString("bad central header %1").arg(n);
            return false;
        }
        const int method = static_cast<int>(le(zip, pos + 10, 2));
        const quint32 crc = le(zip, pos + 16, 4);
        const int csize = static_cast<int>(le(zip, pos + 20, 4));
        const int usize = static_cast<int>(le(zip, pos + 24, 4));
        const int nameLen = static_cast<int>(le(zip, pos + 28, 2));
        const int extraLen = static_cast<int>(le(zip, pos + 30, 2));
        const int commentLen = static_cast<int>(le(zip, pos + 32, 2));
        const int local = static_cast<int>(le(zip, pos + 42, 4));
        const QString name = QString::fromUtf8(zip.mid(pos + 46, nameLen));
        pos += 46 + nameLen + extraLen + commentLen;

        if (le(zip, local, 4) != 0x04034b50 || le(zip, local + 14, 4) != crc
            || static_cast<int>(le(zip, local + 18, 4)) != csize || static_cast<int>(le(zip, local + 8, 2)) != method
            || zip.mid(local + 30, nameLen) != name.toUtf8()) {
            *why = "local header disagrees for " + name;
            return false;
        }
        const int start = local + 30 + nameLen + static_cast<int>(le(zip, local + 28, 2));
        const QByteArray packed = zip.mid(start, csize);
        QByteArray data;
        if (method == 0) {
            data = packed;
        } else if (method == 8) {
            data.resize(usize);
            z_stream s{};
            inflateInit2(&s, -MAX_WBITS);
            s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
            s.avail_in = static_cast<uInt>(packed.size());
            s.next_out = reinterpret_cast<Bytef*>(data.data());
            s.avail_out = static_cast<uInt>(data.size());
            const int rc = inflate(&s, Z_FINISH);
            inflateEnd(&s);
            if (rc != Z_STREAM_END || static_cast<int>(s.total_out) != usize) {
                *why = "cannot inflate " + name;
                return false;
            }
        } else {
            *why = QString("unknown method %1 for %2").arg(method).arg(name);
            return false;
        }
        if (data.size() != usize || crc32Of(data) != crc) {
            *why = "size or CRC mismatch for " + name;
            return false;
        }
        (*out)[name] = {data, method};
    }
    return true;
}

bool wellFormed(const QByteArray& xml, QString* why)
{
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        r.readNext();
    if (r.hasError())
        *why = r.errorString();
    return !r.hasError();
}

// The body read back: paragraph texts in order, table cells row by row.
struct Body {
    QStringList paragraphs;                 // top-level paragraphs
    QVector<QVector<QStringList>> tables;   // table -> row -> cell texts
    int sectionBreaks = 0;                  // section ends inside paragraphs
    QStringList boldTexts;
    QStringList centredTexts;
    QStringList headingTexts;               // texts with an outline level
    QVector<QPair<qint64, qint64>> extents; // picture sizes in EMU
    QStringList embeds;
    QSet<QString> fonts;
    QMap<QString, int> sizeOf;              // run text -> half points
};

Body parseBody(const QByteArray& xml)
{
    Body b;
    QXmlStreamReader r(xml);
    int tableDepth = 0;
    QString paragraph, run;
    bool bold = false, centred = false, heading = false;
    int size = 0;
    while (!r.atEnd()) {
        r.readNext();
        const QStringRef name = r.name();
        if (r.isStartElement()) {
            if (name == "tbl") {
                ++tableDepth;
                b.tables.append(QVector<QStringList>());
            } else if (name == "tr") {
                b.tables.last().append(QStringList());
            } else if (name == "p") {
                paragraph.clear();
                centred = heading = false;
            } else if (name == "r") {
                run.clear();
                bold = false;
                size = 0;
            } else if (name == "b") {
                bold = true;
            } else if (name == "sz") {
                size = r.attributes().value(kW, "val").toInt();
            } else if (name == "jc") {
                centred = r.attributes().value(kW, "val") == QLatin1String("center");
            } else if (name == "outlineLvl") {
                heading = true;
            } else if (name == "sectPr" && r.namespaceUri() == kW) {
                // counted below when inside a paragraph
            } else if (name == "type" && r.attributes().value(kW, "val") == QLatin1String("nextPage")) {
                ++b.sectionBreaks;
            } else if (name == "t") {
                const QString t = r.readElementText();
                run += t;
                paragraph += t;
            } else if (name == "rFonts") {
                b.fonts.insert(r.attributes().value(kW, "eastAsia").toString());
            } else if (name == "extent") {
                b.extents.append({r.attributes().value("cx").toLongLong(), r.attributes().value("cy").toLongLong()});
            } else if (name == "blip") {
                b.embeds << r.attributes().value("http://schemas.openxmlformats.org/officeDocument/2006/relationships",
                                                 "embed").toString();
            }
        } else if (r.isEndElement()) {
            if (name == "tbl") {
                --tableDepth;
            } else if (name == "r" && !run.isEmpty()) {
                if (bold)
                    b.boldTexts << run;
                b.sizeOf[run] = size;
            } else if (name == "p") {
                if (centred && !paragraph.isEmpty())
                    b.centredTexts << paragraph;
                if (heading)
                    b.headingTexts << paragraph;
                if (tableDepth > 0)
                    b.tables.last().last().append(paragraph);
                else
                    b.paragraphs << paragraph;
            }
        }
    }
    return b;
}

} // namespace

class TestWordProc : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString makeImage(const QString& name, int w, int h, const char* format = "PNG")
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(QColor(200, 30, 30));
        img.setDotsPerMeterX(3780); // 96 dpi
        img.setDotsPerMeterY(3780);
        const QString path = m_dir.filePath(name);
        img.save(path, format);
        return path;
    }

    bool load(const QString& path, QMap<QString, ZipEntry>* entries)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        QString why;
        const bool ok = readZip(f.readAll(), entries, &why);
        if (!ok)
            qWarning() << why;
        return ok;
    }

    // Bordered table with a bold header row, as the report writes them.
    static WordTable* borderedTable(WordSelection* sel, const QStringList& header, const QVector<QStringList>& rows)
    {
        WordTable* t = sel->addTable(rows.size() + 1, header.size());
        if (!t)
            return nullptr;
        t->setVerticallyCentered(true);
        t->setRowHeightRule(2);
        t->setRowHeight(30);
        for (int i = 1; i <= 6; ++i) {
            WordBorder* b = t->border(i);
            b->lineStyle = 1;
            b->lineWidth = 1;
            b->color = 0;
        }
        for (int c = 0; c < header.size(); ++c) {
            WordCell* cell = t->cell(1, c + 1);
            cell->setVerticalAlignment(1);
            cell->setText(header[c]);
            cell->font().bold = true;
        }
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                t->cell(r + 2, c + 1)->setText(rows[r][c]);
        return t;
    }

    static void format(WordSelection* sel, int outline, int align, int size, bool bold, int indent, int spacing)
    {
        WordParagraphFormat& p = sel->paragraphFormat();
        p.lineSpacingRule = spacing;
        p.alignment = align;
        p.outlineLevel = outline;
        p.firstLineIndent = indent;
        p.spaceBefore = 0;
        p.spaceAfter = 0;
        WordFont& f = sel->font();
        f.name = QStringLiteral("宋体");
        f.size = size;
        f.bold = bold;
        f.color = 0;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A report-shaped document: headings, body lines, a bordered table, a
    // borderless picture table with an empty last cell, section breaks and
    // a centred picture at its own size.
    void reportDocument()
    {
        WordApplication app;
        QVERIFY(app.setControl("word.Application"));
        app.setVisible(false);
        WordDocument* doc = app.addDocument();
        QVERIFY(doc);
        QCOMPARE(app.activeDocument(), doc);
        const double pageWidth = doc->pageSetup().pageWidth;
        const double pageHeight = doc->pageSetup().pageHeight;
        WordSelection* sel = app.selection();
        QVERIFY(sel);

        format(sel, 1, 1, 24, true, 0, 1);
        sel->typeText("测线 7 数据处理报告\n");
        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("1. 测线工作量\n");
        format(sel, 10, 0, 12, false, 28, 1);
        sel->typeText("起始点号：100\n");
        sel->typeText("测点数量：3 个\n");

        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("3. 测点高程值\n");
        format(sel, 10, 1, 12, false, 0, 0);
        sel->typeText("高程数据统计表\n");
        QVERIFY(borderedTable(sel, {"点号", "高程", "点号", "高程"},
                              {{"100", "12.5", "110", "13"}, {"120", "14.25", "", ""}}));
        sel->insertBreak(2);

        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("4. 测点数据处理详情\n");
        format(sel, 10, 0, 12, false, 0, 1);
        WordTable* pictures = sel->addTable(2, 2);
        QVERIFY(pictures);
        pictures->setPreferredWidthType(2);
        pictures->setPreferredWidth(100);
        pictures->setBordersEnabled(false);
        pictures->autoFitBehavior(2);
        const QString chart = makeImage("temp_chart.png", 100, 120);
        for (int k = 0; k < 3; ++k) {
            WordCell* cell = pictures->cell(k / 2 + 1, k % 2 + 1);
            cell->setVerticalAlignment(1);
            WordInlineShape* shape = cell->addPicture(chart);
            QVERIFY(shape);
            shape->setWidth(pageWidth / 3);
            shape->setHeight(pageHeight / 3);
        }
        format(sel, 10, 1, 12, false, 0, 0);
        sel->typeText("数据编辑统计表\n");
        QVERIFY(borderedTable(sel, {"点号", "数据道编辑 %", "数据变化率 %(平均)"}, {{"100", "12.50", "3.00"}}));
        sel->insertBreak(2);

        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("5. 测线成果\n");
        format(sel, 10, 1, 12, false, 0, 1);
        WordInlineShape* contour = sel->addPicture(makeImage("contour.jpg", 192, 96, "JPEG"));
        QVERIFY(contour);
        QCOMPARE(contour->width(), 144.0);  // 192 px at 96 dpi
        QCOMPARE(contour->height(), 72.0);

        const QString path = m_dir.filePath("report.docx");
        QString error;
        QVERIFY2(doc->saveAs(path, &error), qPrintable(error));
        QVERIFY(app.closeDocument(doc, true));
        app.quit();
        QCOMPARE(app.documentCount(), 0);

        QMap<QString, ZipEntry> zip;
        QVERIFY(load(path, &zip));
        for (const char* part : {"[Content_Types].xml", "_rels/.rels", "word/document.xml",
                                 "word/_rels/document.xml.rels", "word/media/image1.png", "word/media/image4.jpeg"})
            QVERIFY2(zip.contains(part), part);
        QCOMPARE(zip.size(), 8); // three chart copies and the contour picture
        QCOMPARE(zip.value("word/document.xml").method, 8);
        for (auto it = zip.cbegin(); it != zip.cend(); ++it) {
            QString why;
            if (it.key().endsWith(".xml") || it.key().endsWith(".rels"))
                QVERIFY2(wellFormed(it.value().data, &why), qPrintable(it.key() + ": " + why));
        }
        QFile chartFile(chart);
        QVERIFY(chartFile.open(QIODevice::ReadOnly));
        QCOMPARE(zip.value("word/media/image2.png").data, chartFile.readAll());

        const QByteArray types = zip.value("[Content_Types].xml").data;
        QVERIFY(types.contains("Extension=\"png\" ContentType=\"image/png\""));
        QVERIFY(types.contains("Extension=\"jpeg\" ContentType=\"image/jpeg\""));
        QVERIFY(types.contains("/word/document.xml"));
        QVERIFY(zip.value("_rels/.rels").data.contains("Target=\"word/document.xml\""));
        const QByteArray rels = zip.value("word/_rels/document.xml.rels").data;

        const Body body = parseBody(zip.value("word/document.xml").data);
        QCOMPARE(body.paragraphs.mid(0, 8),
                 (QStringList{"测线 7 数据处理报告", "1. 测线工作量", "起始点号：100", "测点数量：3 个",
                              "3. 测点高程值", "高程数据统计表", "", "4. 测点数据处理详情"}));
        QVERIFY(body.paragraphs.contains("数据编辑统计表"));
        QVERIFY(body.paragraphs.contains("5. 测线成果"));
        QCOMPARE(body.tables.size(), 3);
        QCOMPARE(body.tables[0].size(), 3);
        QCOMPARE(body.tables[0][0], (QStringList{"点号", "高程", "点号", "高程"}));
        QCOMPARE(body.tables[0][2], (QStringList{"120", "14.25", "", ""}));
        QCOMPARE(body.tables[1].size(), 2);
        QCOMPARE(body.tables[2][1], (QStringList{"100", "12.50", "3.00"}));
        QCOMPARE(body.sectionBreaks, 3); // two breaks and the document's own section
        QVERIFY(body.boldTexts.contains("数据变化率 %(平均)"));
        QVERIFY(!body.boldTexts.contains("12.50"));
        QVERIFY(body.boldTexts.contains("测线 7 数据处理报告"));
        QCOMPARE(body.sizeOf.value("测线 7 数据处理报告"), 48);
        QCOMPARE(body.sizeOf.value("起始点号：100"), 24);
        QVERIFY(body.centredTexts.contains("高程数据统计表"));
        QVERIFY(!body.centredTexts.contains("起始点号：100"));
        QCOMPARE(body.headingTexts, (QStringList{"测线 7 数据处理报告", "1. 测线工作量", "3. 测点高程值",
                                                 "4. 测点数据处理详情", "5. 测线成果"}));
        QCOMPARE(body.fonts, QSet<QString>{"宋体"});

        QCOMPARE(body.extents.size(), 4);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(body.extents[i].first, qRound64(pageWidth / 3 * 12700));
            QCOMPARE(body.extents[i].second, qRound64(pageHeight / 3 * 12700));
        }
        QCOMPARE(body.extents[3], qMakePair(qint64(144 * 12700), qint64(72 * 12700)));
        QCOMPARE(body.embeds.size(), 4);
        for (const QString& id : body.embeds)
            QVERIFY2(rels.contains(("Id=\"" + id + "\"").toUtf8()), qPrintable(id));
    }

    // Typing splits paragraphs on line ends, keeps tables apart, drops
    // characters XML cannot carry, and refuses what cannot be built.
    void editingRules()
    {
        WordApplication app;
        QVERIFY(!app.addDocument()); // no server chosen yet
        QVERIFY(app.setControl("kwps.Application"));
        WordDocument* doc = app.addDocument();
        WordSelection* sel = doc->selection();

        sel->typeText("a\r\nb\rc\nd\x01" "e\tf");
        QVERIFY(sel->addTable(1, 1));
        QVERIFY(sel->addTable(1, 2)); // must not merge with the first
        QVERIFY(!sel->addTable(0, 2)); // no stations: no picture table
        WordTable* t = sel->addTable(2, 2);
        QVERIFY(!t->cell(3, 1));
        QVERIFY(!t->cell(1, 0));
        QVERIFY(!t->border(7));
        QCOMPARE(t->border(-1), t->border(1));
        t->cell(1, 1)->setText("x");
        QVERIFY(!t->cell(1, 2)->addPicture(m_dir.filePath("missing.png")));
        QVERIFY(!sel->addPicture(m_dir.filePath("missing.png")));
        QVERIFY(!sel->insertBreak(99));
        sel->typeText("tail");

        const QString path = m_dir.filePath("rules.docx");
        QVERIFY(doc->saveAs(path));
        QMap<QString, ZipEntry> zip;
        QVERIFY(load(path, &zip));
        QCOMPARE(zip.size(), 4); // no media
        QString why;
        const QByteArray xml = zip.value("word/document.xml").data;
        QVERIFY2(wellFormed(xml, &why), qPrintable(why));
        const Body body = parseBody(xml);
        QCOMPARE(body.paragraphs.mid(0, 4), (QStringList{"a", "b", "c", "def"}));
        QVERIFY(xml.contains("<w:tab/>"));
        QCOMPARE(body.tables.size(), 3);
        QVERIFY(body.paragraphs.size() >= 7); // a..d, two separators, "tail"
        QCOMPARE(body.paragraphs.last(), QString("tail"));
        QVERIFY(!xml.contains("</w:tbl><w:tbl>"));
    }

    void control_data()
    {
        QTest::addColumn<QString>("progId");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("word") << "word.Application" << true;
        QTest::newRow("wps") << "kwps.Application" << true;
        QTest::newRow("upper case") << "WORD.APPLICATION" << true;
        QTest::newRow("other server") << "excel.Application" << false;
        QTest::newRow("empty") << "" << false;
    }

    void control()
    {
        QFETCH(QString, progId);
        QFETCH(bool, accepted);
        WordApplication app;
        QCOMPARE(app.setControl(progId), accepted);
        QCOMPARE(app.isNull(), !accepted);
        QCOMPARE(app.addDocument() != nullptr, accepted);
    }

    // A failed save reports why and leaves an existing file untouched.
    void saveFailures()
    {
        WordApplication app;
        app.setControl("word.Application");
        WordDocument* doc = app.addDocument();
        doc->selection()->typeText("x");
        QString error;
        QVERIFY(!doc->saveAs(m_dir.filePath("no/such/dir/a.docx"), &error));
        QVERIFY(error.contains("cannot save"));
        QVERIFY(!doc->saveAs(QString(), &error));
        QVERIFY(!doc->saveAs(m_dir.path(), &error)); // a directory
        QVERIFY(doc->fullName().isEmpty());
        QVERIFY(app.closeDocument(doc, true)); // never saved: nothing to write
    }

    // Entries that do not shrink are stored, others deflated; both read
    // back with matching CRCs, the empty entry included.
    void zipEntries()
    {
        QByteArray noise(4096, '\0');
        QRandomGenerator g(11);
        for (char& c : noise)
            c = static_cast<char>(g.bounded(256));
        const QByteArray text = QByteArray("测线 数据 ").repeated(500);

        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ZipWriter zip(&buffer);
        QVERIFY(zip.addFile("noise.bin", noise));
        QVERIFY(zip.addFile("dir/text.txt", text));
        QVERIFY(zip.addFile("empty", QByteArray()));
        QVERIFY(zip.finish());

        QMap<QString, ZipEntry> entries;
        QString why;
        QVERIFY2(readZip(buffer.data(), &entries, &why), qPrintable(why));
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries["noise.bin"].method, 0);
        QCOMPARE(entries["noise.bin"].data, noise);
        QCOMPARE(entries["dir/text.txt"].method, 8);
        QCOMPARE(entries["dir/text.txt"].data, text);
        QCOMPARE(entries["empty"].data, QByteArray());
        QCOMPARE(crc32Of("123456789"), 0xCBF43926u); // the reader's own CRC is sound
    }

    // An office suite, when one happens to be installed, opens the file.
    void convertsWithOfficeSuite()
    {
        QString office = QStandardPaths::findExecutable("libreoffice");
        if (office.isEmpty())
            office = QStandardPaths::findExecutable("soffice");
        if (office.isEmpty())
            QSKIP("no office suite installed");

        WordApplication app;
        app.setControl("word.Application");
        WordDocument* doc = app.addDocument();
        doc->selection()->typeText("转换测试\n");
        WordTable* t = doc->selection()->addTable(1, 2);
        t->cell(1, 1)->setText("a");
        t->cell(1, 2)->addPicture(makeImage("c.png", 20, 20));
        const QString path = m_dir.filePath("convert.docx");
        QVERIFY(doc->saveAs(path));

        QProcess p;
        p.start(office, {"--headless", "--convert-to", "pdf", "--outdir", m_dir.path(), path});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY(QFile::exists(m_dir.filePath("convert.pdf")));
    }
};

QTEST_GUILESS_MAIN(TestWordProc)
#include "tst_wordproc.moc"
