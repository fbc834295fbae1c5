#include "history/PatientInfoXml.h"

#include <QDateTime>
#include <QHash>
#include <QXmlStreamReader>
#include <limits>

namespace {

// The columns an import reads, with the limits the patient dialog enforces on entry (text counted
// as the entry boxes count it), so an import stores nothing the dialog would have refused. Each is
// either a text column (text set) or an integer column (number set, with its accepted range).
struct ImportedColumn {
    const char* name;
    QString PatientRecord::*text;
    int maxLength;
    int PatientRecord::*number;
    int min;
    int max;
};

constexpr ImportedColumn kImported[] = {
    {"Name", &PatientRecord::Name, kNameEntryLimit, nullptr, 0, 0},
    {"Age", nullptr, 0, &PatientRecord::Age, 0, 3000},
    {"Other", &PatientRecord::Other, kOtherEntryLimit, nullptr, 0, 0},
    {"Height", nullptr, 0, &PatientRecord::Height, 0, 3000},
    {"Weight", nullptr, 0, &PatientRecord::Weight, 0, 2000},
    {"Blood", nullptr, 0, &PatientRecord::Blood, 0, 3},
    {"Sex", nullptr, 0, &PatientRecord::Sex, 0, 1},
    {"ClinicalNo", &PatientRecord::ClinicalNo, kClinicalNoEntryLimit, nullptr, 0, 0},
};

// ---- writing ----

bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Attribute text between single quotes. CR, LF and tab go as character references, since a parser
// turns them into blanks when they stand literally in an attribute, and the note keeps its lines.
// Empty when the text holds a character XML cannot carry (or a broken surrogate pair).
std::optional<QString> EscapeAttribute(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
            continue;
        }
        if (c.isSurrogate() || !IsXmlChar(c.unicode()))
            return std::nullopt;
        switch (c.unicode()) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#x0d;"; break;
        case '\n': out += "&#x0a;"; break;
        case '\t': out += "&#x09;"; break;
        default: out += c;
        }
    }
    return out;
}

QString IntegerColumn(const char* name, int number, bool key)
{
    QString s = QString("\t\t<s:AttributeType name='%1' rs:number='%2'").arg(name).arg(number);
    s += key ? " rs:keycolumn='true'" : " rs:nullable='true'";
    s += QString(" rs:writeunknown='true' rs:basetable='Patient' rs:basecolumn='%1'>\n").arg(name);
    s += "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true'";
    s += key ? " rs:maybenull='false'/>\n" : "/>\n";
    s += "\t\t</s:AttributeType>\n";
    return s;
}

QString TextColumn(const char* name, int number, int maxLength)
{
    QString s = QString("\t\t<s:AttributeType name='%1' rs:number='%2' rs:nullable='true'"
                        " rs:writeunknown='true' rs:basetable='Patient' rs:basecolumn='%1'>\n")
                    .arg(name)
                    .arg(number);
    s += QString("\t\t\t<s:datatype dt:type='string' dt:maxLength='%1'/>\n").arg(maxLength);
    s += "\t\t</s:AttributeType>\n";
    return s;
}

QString DateColumn(const char* name, int number)
{
    QString s = QString("\t\t<s:AttributeType name='%1' rs:number='%2' rs:nullable='true'"
                        " rs:writeunknown='true' rs:basetable='Patient' rs:basecolumn='%1'>\n")
                    .arg(name)
                    .arg(number);
    s += "\t\t\t<s:datatype dt:type='dateTime' rs:dbtype='variantdate' dt:maxLength='16'"
         " rs:fixedlength='true'/>\n";
    s += "\t\t</s:AttributeType>\n";
    return s;
}

// The stored date text ("yyyy-MM-dd HH:mm:ss") in the layout's form "yyyy-MM-ddTHH:mm:ss";
// empty for an empty or unreadable date, which is then written as NULL.
QString DateValue(const QString& stored)
{
    QDateTime t = QDateTime::fromString(stored.trimmed(), "yyyy-MM-dd HH:mm:ss");
    if (!t.isValid())
        t = QDateTime::fromString(stored.trimmed(), Qt::ISODate);
    return t.isValid() ? t.toString("yyyy-MM-ddTHH:mm:ss") : QString();
}

// ---- reading ----


struct DeclaredColumn {
    QString name;
    QString type;   // dt:type
    qint64 maxLength = -1;
};

bool IsIntegerType(const QString& type, qint64* low, qint64* high)
{
    static const QHash<QString, std::pair<qint64, qint64>> ranges = {
        {"i1", {-128, 127}},
        {"ui1", {0, 255}},
        {"i2", {-32768, 32767}},
        {"ui2", {0, 65535}},
        {"i4", {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}},
        {"int", {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}},
        {"ui4", {0, std::numeric_limits<int>::max()}},  // wider values do not fit the table
    };
    auto it = ranges.find(type);
    if (it == ranges.end())
        return false;
    *low = it->first;
    *high = it->second;
    return true;
}

// Plain decimal: an optional minus and digits, nothing else (no blanks, no plus, no exponent).
std::optional<qint64> ParseDecimal(const QString& text)
{
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    qsizetype i = text.startsWith('-') ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return text.startsWith('-') ? -value : value;
}

// The structure of the file: declared columns of the row element and the first row's values.
struct ParsedRowset {
    QList<DeclaredColumn> columns;
    QHash<QString, QString> firstRow;  // attribute name -> value; absent = NULL
    bool hasRow = false;
};

bool ReadDatatype(QXmlStreamReader& xml, DeclaredColumn& column)
{
    const QXmlStreamAttributes a = xml.attributes();
    column.type = a.value(kDataTypeNamespace, "type").toString();
    const QStringView length = a.value(kDataTypeNamespace, "maxLength");
    if (!length.isEmpty()) {
        std::optional<qint64> n = ParseDecimal(length.toString());
        if (!n || *n < 0)
            return false;
        column.maxLength = *n;
    }
    xml.skipCurrentElement();
    return !column.type.isEmpty();
}

bool ReadAttributeType(QXmlStreamReader& xml, ParsedRowset& rowset)
{
    DeclaredColumn column;
    column.name = xml.attributes().value("name").toString();
    if (column.name.isEmpty())
        return false;
    bool typed = false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == QLatin1String(kSchemaNamespace) && xml.name() == u"datatype") {
            if (typed || !ReadDatatype(xml, column))
                return false;
            typed = true;
        } else {
            xml.skipCurrentElement();
        }
    }
    for (const DeclaredColumn& c : rowset.columns)
        if (c.name == column.name)
            return false;
    rowset.columns.append(column);
    return typed;
}

bool ReadSchema(QXmlStreamReader& xml, ParsedRowset& rowset)
{
    bool rowType = false;
    while (xml.readNextStartElement()) {
        const bool elementType = xml.namespaceUri() == QLatin1String(kSchemaNamespace) &&
                                 xml.name() == u"ElementType" &&
                                 xml.attributes().value("name") == u"row";
        if (!elementType) {
            xml.skipCurrentElement();
            continue;
        }
        if (rowType)
            return false;
        rowType = true;
        while (xml.readNextStartElement()) {
            if (xml.namespaceUri() == QLatin1String(kSchemaNamespace) &&
                xml.name() == u"AttributeType") {
                if (!ReadAttributeType(xml, rowset))
                    return false;
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    return rowType && !xml.hasError();
}

bool ReadData(QXmlStreamReader& xml, ParsedRowset& rowset)
{
    while (xml.readNextStartElement()) {
        const bool row = xml.namespaceUri() == QLatin1String(kRowNamespace) && xml.name() == u"row";
        if (row && !rowset.hasRow) {
            rowset.hasRow = true;
            for (const QXmlStreamAttribute& a : xml.attributes()) {
                // Namespace declarations are not values; every other attribute must be a column.
                if (!a.namespaceUri().isEmpty())
                    continue;
                const QString name = a.qualifiedName().toString();
                bool declared = false;
                for (const DeclaredColumn& c : rowset.columns)
                    declared = declared || c.name == name;
                if (!declared)
                    return false;
                rowset.firstRow.insert(name, a.value().toString());
            }
        }
        xml.skipCurrentElement();
    }
    return !xml.hasError();
}

std::optional<ParsedRowset> ParseRowset(const QByteArray& data)
{
    QXmlStreamReader xml(data);
    ParsedRowset rowset;
    bool schema = false;
    bool rows = false;
    // Entity definitions are the one way a small file expands into a huge one, and the layout
    // never has a DTD; one anywhere makes the file unacceptable.
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return std::nullopt;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() != u"xml" || !xml.namespaceUri().isEmpty())
            return std::nullopt;
        while (xml.readNextStartElement()) {
            if (!schema && xml.namespaceUri() == QLatin1String(kSchemaNamespace) &&
                xml.name() == u"Schema") {
                if (!ReadSchema(xml, rowset))
                    return std::nullopt;
                schema = true;
            } else if (schema && !rows && xml.namespaceUri() == QLatin1String(kRowsetNamespace) &&
                       xml.name() == u"data") {
                if (!ReadData(xml, rowset))
                    return std::nullopt;
                rows = true;
            } else {
                return std::nullopt;
            }
        }
    }
    if (xml.hasError() || !schema || !rows || !rowset.hasRow)
        return std::nullopt;
    return rowset;
}

}  // namespace

std::optional<QByteArray> WritePatientInfoXml(const PatientRecord& row)
{
    QString out;
    out += QString("<xml xmlns:s='%1'\n\txmlns:dt='%2'\n\txmlns:rs='%3'\n\txmlns:z='%4'>\n")
               .arg(kSchemaNamespace, kDataTypeNamespace, kRowsetNamespace, kRowNamespace);
    out += "<s:Schema id='RowsetSchema'>\n";
    out += "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n";
    out += IntegerColumn("PatientID", 1, true);
    out += TextColumn("Name", 2, kNameEntryLimit);
    out += IntegerColumn("Age", 3, false);
    out += IntegerColumn("Height", 4, false);
    out += IntegerColumn("Weight", 5, false);
    out += IntegerColumn("Blood", 6, false);
    out += IntegerColumn("Sex", 7, false);
    out += TextColumn("Other", 8, kOtherEntryLimit);
    out += TextColumn("ClinicalNo", 9, kClinicalNoEntryLimit);
    out += DateColumn("NewDate", 10);
    out += IntegerColumn("Isdel", 11, false);
    out += "\t\t<s:extends type='rs:rowbase'/>\n";
    out += "\t</s:ElementType>\n";
    out += "</s:Schema>\n";

    std::optional<QString> name = EscapeAttribute(row.Name);
    std::optional<QString> other = EscapeAttribute(row.Other);
    std::optional<QString> clinical = EscapeAttribute(row.ClinicalNo);
    if (!name || !other || !clinical)
        return std::nullopt;
    out += "<rs:data>\n";
    out += QString("\t<z:row PatientID='%1' Name='%2' Age='%3' Height='%4' Weight='%5' Blood='%6'"
                   " Sex='%7' Other='%8' ClinicalNo='%9'")
               .arg(QString::number(row.PatientID), *name, QString::number(row.Age),
                    QString::number(row.Height), QString::number(row.Weight),
                    QString::number(row.Blood), QString::number(row.Sex), *other, *clinical);
    const QString date = DateValue(row.NewDate);
    if (!date.isEmpty())
        out += QString(" NewDate='%1'").arg(date);
    out += QString(" Isdel='%1'/>\n").arg(row.Isdel);
    out += "</rs:data>\n";
    out += "</xml>\n";
    return out.toUtf8();
}

std::optional<PatientRecord> ReadPatientInfoXml(const QByteArray& data)
{
    if (data.size() > kMaxPatientInfoBytes)
        return std::nullopt;
    std::optional<ParsedRowset> rowset = ParseRowset(data);
    if (!rowset)
        return std::nullopt;

    PatientRecord record;
    for (const ImportedColumn& wanted : kImported) {
        const DeclaredColumn* column = nullptr;
        for (const DeclaredColumn& c : rowset->columns) {
            if (c.name.compare(QLatin1String(wanted.name), Qt::CaseInsensitive) != 0)
                continue;
            if (column)
                return std::nullopt;  // two columns answer to one name: which one is meant?
            column = &c;
        }
        if (!column)
            return std::nullopt;
        auto value = rowset->firstRow.constFind(column->name);
        const bool isNull = value == rowset->firstRow.constEnd();

        if (wanted.text) {
            if (column->type != u"string")
                return std::nullopt;
            const QString text = isNull ? QString() : *value;
            if (EntryByteLength(text) > wanted.maxLength ||
                (column->maxLength >= 0 && text.size() > column->maxLength))
                return std::nullopt;
            record.*wanted.text = text;
            continue;
        }
        qint64 low = 0, high = 0;
        if (!IsIntegerType(column->type, &low, &high))
            return std::nullopt;
        qint64 n = 0;
        if (!isNull) {
            std::optional<qint64> parsed = ParseDecimal(*value);
            if (!parsed || *parsed < low || *parsed > high)
                return std::nullopt;
            n = *parsed;
        }
        if (n < wanted.min || n > wanted.max)
            return std::nullopt;
        record.*wanted.number = static_cast<int>(n);
    }
    return record;
}
