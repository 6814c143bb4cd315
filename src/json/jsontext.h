#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace JsonText {

// Appends `text` as a JSON string literal exactly as QJsonDocument writes it (quotes,
// backslashes, control characters and unpaired surrogates escaped), for the hand-written
// documents that must read like the writer's output.
void appendString(QString &out, const QString &text);

// One flat object written member by member, for texts that are built by the thousand (a
// conversation's records, the history's rows): each member's opening (quotes, colon and any
// indent, as the document is to read) is a UTF-16 literal copied as it is.
class ObjectText
{
public:
    explicit ObjectText(int sizeHint) { m_out.reserve(sizeHint); }

    void add(QStringView opening, const QString &value)
    {
        begin(opening);
        appendString(m_out, value);
    }
    void add(QStringView opening, const QStringList &values)
    {
        begin(opening);
        m_out += QLatin1Char('[');
        for (int i = 0; i < values.size(); ++i) {
            if (i > 0)
                m_out += QLatin1Char(',');
            appendString(m_out, values.at(i));
        }
        m_out += QLatin1Char(']');
    }
    void add(QStringView opening, bool value)
    {
        begin(opening);
        m_out += value ? QLatin1String("true") : QLatin1String("false");
    }
    QString finish()
    {
        m_out += QLatin1Char('}');
        return m_out;
    }

private:
    void begin(QStringView opening)
    {
        m_out += m_first ? QLatin1Char('{') : QLatin1Char(',');
        m_first = false;
        m_out.append(opening.data(), int(opening.size()));
    }

    QString m_out;
    bool m_first = true;
};

} // namespace JsonText

// A member's opening in compact JSON, as QJsonDocument::Compact writes it.
#define TARNEX_COMPACT_MEMBER(key) QStringView(u"\"" key "\":")
