// PatientInfo.xml: the written file is its golden file to the byte, every text comes back
// exactly, and the reader refuses anything but a sound file of that layout.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <tuple>

#include "history/PatientInfoXml.h"

namespace {

PatientRecord Sample()
{
    return {12, QString::fromUtf8("李 \"O'Neil\" &<>"), 20, 170, 100, 2, 1,
            QString::fromUtf8("第一行\r\n'second'\tline \"%\""), "00001234", "2009-03-07 09:05:41", 0};
}

QByteArray SampleXml()
{
    return WritePatientInfoXml(Sample()).value();
}

// The facts an import takes over.
QStringList Facts(const PatientRecord& r)
{
    return {r.Name, r.Other, r.ClinicalNo,
            QString("%1 %2 %3 %4 %5").arg(r.Age).arg(r.Height).arg(r.Weight).arg(r.Blood).arg(r.Sex)};
}

// The sample file with one textual change; the change must be there, or the test proves nothing.
QByteArray Edited(const QString& from, const QString& to)
{
    QString text = QString::fromUtf8(SampleXml());
    EXPECT_TRUE(text.contains(from)) << from.toStdString();
    text.replace(from, to);
    return text.toUtf8();
}

// The sample file with the declared type of one column changed.
QByteArray WithColumnType(const char* column, const char* type)
{
    QString text = QString::fromUtf8(SampleXml());
    QRegularExpression re(QString("(name='%1'[^>]*>\\s*<s:datatype dt:type=')[^']*'").arg(column));
    EXPECT_TRUE(re.match(text).hasMatch()) << column;
    text.replace(re, QString("\\1%1'").arg(type));
    return text.toUtf8();
}

}  // namespace

// The file other installations read, byte for byte: the rowset layout with its schema part (the
// eleven columns in table order with their types) and one row of attributes.
TEST(PatientInfoXml, WrittenFileMatchesItsGoldenFile)
{
    QFile golden(CORVIDA_SOURCE_DIR "/tests/history/golden/PatientInfo.xml");
    if (qEnvironmentVariableIsSet("CORVIDA_WRITE_GOLDEN") && golden.open(QIODevice::WriteOnly))
        golden.write(SampleXml());
    golden.close();
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(SampleXml()), QString::fromUtf8(golden.readAll()));
}

TEST(PatientInfoXml, EveryTextComesBackExactly_TextsXmlCannotCarryAreNotWritten)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // outside the basic plane
    const struct {
        const char* name;
        QString text, other, clinical;
    } cases[] = {
        {"quotes and markup", "a'b\"c&d<e>f", "'';--\"", "'\"&<>"}, {"empty", "", "", ""},
        {"chinese", QString::fromUtf8("王小明"), QString::fromUtf8("心悸，胸闷\r\n复查"), "12"},
        {"white space", "  a  ", "\r\n\t \r\n", " "}, {"longest", QString(20, 'N'), QString(200, 'x'), "00000000"},
        {"longest chinese", QString(10, QChar(0x738B)), QString(100, QChar(0x4E2D)), QString(4, QChar(0x4E2D))},
        {"surrogate pairs", emoji + "x", emoji.repeated(100), emoji},
        {"percent and entities", "%d%s", "&amp; &#x41; ]]>" + QString(QChar(0xFFFD)), "%"},
    };
    for (const auto& c : cases) {
        PatientRecord r = Sample();
        std::tie(r.Name, r.Other, r.ClinicalNo) = std::tie(c.text, c.other, c.clinical);
        const std::optional<PatientRecord> back = ReadPatientInfoXml(WritePatientInfoXml(r).value_or(""));
        ASSERT_TRUE(back) << c.name;
        EXPECT_EQ(Facts(*back), Facts(r)) << c.name;
        // What an import does not use stays at the defaults.
        EXPECT_TRUE(back->PatientID == 0 && back->NewDate.isEmpty()) << c.name;
    }
    for (const char16_t bad : {0x01, 0xD800, 0xDC00, 0xFFFF, 0}) {
        PatientRecord r = Sample();
        r.Other = "a" + QString(QChar(bad)) + "b";
        EXPECT_FALSE(WritePatientInfoXml(r)) << int(bad);
    }
}

TEST(PatientInfoXml, ReaderAcceptsTheLayoutsVariants_RefusesBadFilesAndEveryTruncation)
{
    struct Case {
        const char* name;
        QByteArray xml;
    };
    const Case variants[] = {
        {"xml declaration", "<?xml version='1.0' encoding='UTF-8'?>\n" + SampleXml()},
        {"column names in other case",
         Edited("name='ClinicalNo'", "name='CLINICALNO'").replace("ClinicalNo='", "CLINICALNO='")},
        {"small integer types", WithColumnType("Age", "i2")},
        {"more rows, first used", Edited("</rs:data>", "\t<z:row Name='second' Age='1'/>\n</rs:data>")},
        {"unused columns unreadable", Edited("PatientID='12'", "PatientID='x'")},
        {"no final newline", SampleXml().chopped(1)},
        {"padded to the limit exactly", SampleXml() + QByteArray(kMaxPatientInfoBytes - SampleXml().size(), ' ')},
    };
    for (const auto& c : variants) {
        std::optional<PatientRecord> r = ReadPatientInfoXml(c.xml);
        ASSERT_TRUE(r) << c.name;
        EXPECT_EQ(Facts(*r), Facts(Sample())) << c.name;
    }

    // A NULL value (no attribute) reads as empty text or 0.
    const QString text = QString::fromUtf8(SampleXml()).remove(QRegularExpression(" (Other|Age)='[^']*'(?=[^>]*/>)"));
    PatientRecord r = Sample();
    r.Age = 0;
    r.Other.clear();
    EXPECT_EQ(Facts(ReadPatientInfoXml(text.toUtf8()).value_or(PatientRecord())), Facts(r));

    const QString dtd =
        "<!DOCTYPE xml [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;'>]>\n";
    const Case refused[] = {
        {"empty file", ""}, {"not xml", "Name,Age\nLi,20\n"}, {"no row", Edited("<z:row ", "<z:cell ")},
        {"other root", Edited("<xml ", "<root ").replace("</xml>", "</root>")}, {"second root", SampleXml() + "<xml/>"},
        {"entity bomb", (dtd + QString::fromUtf8(SampleXml()).replace("Name='", "Name='&b;")).toUtf8()},
        {"undeclared entity", Edited("Name='", "Name='&nope;")},
        {"invalid utf-8", SampleXml().replace("Name='", "Name='\xC3\x28")},
        {"wrong schema namespace", Edited("urn:corvida:rowset:schema", "urn:other:schema")},
        {"wrong row namespace", Edited("xmlns:z='#RowsetSchema'", "xmlns:z='#Other'")},
        {"no schema", Edited("<s:Schema id='RowsetSchema'>", "<s:Other>").replace("</s:Schema>", "</s:Other>")},
        {"no data part", Edited("<rs:data>", "<rs:other>").replace("</rs:data>", "</rs:other>")},
        {"missing column", Edited("name='Weight'", "name='Mass'")}, {"twice", Edited("name='Isdel'", "name='name'")},
        {"column without a type", Edited("dt:type='string' dt:maxLength='8'", "dt:maxLength='8'")},
        {"text column typed as number", Edited("dt:type='string' dt:maxLength='8'", "dt:type='int'")},
        {"number typed as text", WithColumnType("Blood", "string")}, {"unknown type", WithColumnType("Sex", "boolean")},
        {"not a number", Edited("Age='20'", "Age='20a'")}, {"blank", Edited("Age='20'", "Age=' 20'")},
        {"empty number", Edited("Age='20'", "Age=''")}, {"age over limit", Edited("Age='20'", "Age='3001'")},
        {"beyond 32 bits", Edited("Height='170'", "Height='4294967466'")},
        {"huge number", Edited("Height='170'", "Height='" + QString(5000, '9') + "'")},
        {"negative weight", Edited("Weight='100'", "Weight='-1'")}, {"heavy", Edited("Weight='100'", "Weight='2001'")},
        {"blood group", Edited("Blood='2'", "Blood='4'")}, {"sex", Edited("Sex='1'", "Sex='2'")},
        {"name too long", Edited("Name='", "Name='" + QString(20, 'x'))},
        {"clinical number too long", Edited("ClinicalNo='00001234'", "ClinicalNo='000012345'")},
        {"note too long", Edited("Other='", "Other='" + QString(200, 'x'))},
        {"eleven chinese characters in the name",
         Edited(QString::fromUtf8("李 &quot;O&apos;Neil&quot; &amp;&lt;&gt;"), QString(11, QChar(0x738B)))},
        {"shorter declared limit", Edited("dt:maxLength='8'", "dt:maxLength='3'")},
        {"undeclared value", Edited("Isdel='0'", "Isdel='0' Extra='1'")},
        {"data before schema",
         [] {
             const QString t = QString::fromUtf8(SampleXml());
             const qsizetype s = t.indexOf("<s:Schema"), e = t.indexOf("<rs:data>");
             return (t.left(s) + t.mid(e).replace("</xml>", t.mid(s, e - s) + "</xml>")).toUtf8();
         }()},
        {"too large", SampleXml() + QByteArray(kMaxPatientInfoBytes, ' ')},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(ReadPatientInfoXml(c.xml)) << c.name;
    const QByteArray xml = SampleXml();
    for (qsizetype n = 0; n < xml.size() - 1; ++n)
        ASSERT_FALSE(ReadPatientInfoXml(xml.left(n))) << n;
}
