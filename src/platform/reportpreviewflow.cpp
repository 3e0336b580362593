#include "platform/reportpreviewflow.h"

#include <QRegularExpression>

namespace bm::platform::flow
{

namespace
{

bool blank(QStringView s)
{
    for (const QChar c : s)
        if (!c.isSpace())
            return false;
    return true;
}

} // namespace

std::optional<Flow> split(const QString &html)
{
    Flow flow;
    static const QRegularExpression bodyOpen(
        QStringLiteral(R"(<body\b[^>]*>)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression bodyClose(
        QStringLiteral(R"(</body\s*>)"), QRegularExpression::CaseInsensitiveOption);
    const auto open = bodyOpen.match(html);
    const qsizetype start = open.hasMatch() ? open.capturedEnd() : 0;
    const auto close = bodyClose.match(html, start);
    const qsizetype end = close.hasMatch() ? close.capturedStart() : html.size();
    flow.html = html;
    flow.bodyStart = start;
    flow.bodyEnd = end;
    const QStringView body = QStringView(html).mid(start, end - start);

    static const QRegularExpression tag(
        QStringLiteral(R"(<!--.*?-->|<\s*(/?)\s*(table|thead|tbody|tfoot|tr)\b[^>]*>)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);

    int depth = 0; // of tables
    bool inHeader = false;
    qsizetype pieceStart = 0; // of the fragment, row or header being read
    int table = -1;
    qsizetype tableStart = 0;
    int rows = 0; // of the open table
    enum class In { Fragment, Table, Row, Header } in = In::Fragment;

    auto flushFragment = [&](qsizetype upTo) {
        if (!blank(body.mid(pieceStart, upTo - pieceStart)))
            flow.units.append({ -1, start + pieceStart, upTo - pieceStart });
    };
    auto flushRow = [&](qsizetype upTo) {
        flow.units.append({ table, start + pieceStart, upTo - pieceStart });
        ++rows;
    };

    for (auto it = tag.globalMatch(body); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(2).isEmpty())
            continue; // a comment
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        const qsizetype at = m.capturedStart();
        const qsizetype after = m.capturedEnd();

        if (name == QLatin1String("table")) {
            if (!closing) {
                if (depth == 0) {
                    flushFragment(at);
                    flow.tables.append({ m.captured(0), QString() });
                    table = int(flow.tables.size()) - 1;
                    tableStart = at;
                    rows = 0;
                    in = In::Table;
                    pieceStart = after;
                }
                ++depth;
            } else {
                if (depth == 0)
                    return std::nullopt;
                if (--depth == 0) {
                    if (in == In::Row)
                        flushRow(at);
                    else if (in == In::Header)
                        return std::nullopt;
                    else if (!blank(body.mid(pieceStart, at - pieceStart)))
                        return std::nullopt;
                    if (rows == 0) // a table of headings only stays as it is
                        flow.units.append({ -1, start + tableStart, after - tableStart });
                    in = In::Fragment;
                    pieceStart = after;
                }
            }
            continue;
        }
        if (depth != 1)
            continue; // inside a cell's own table
        if (name == QLatin1String("thead")) {
            if (!closing) {
                if (in == In::Row || !blank(body.mid(pieceStart, at - pieceStart)))
                    return std::nullopt;
                in = In::Header;
                inHeader = true;
                pieceStart = after;
            } else {
                if (in != In::Header)
                    return std::nullopt;
                flow.tables[table].header += body.mid(pieceStart, at - pieceStart).toString();
                in = In::Table;
                inHeader = false;
                pieceStart = after;
            }
            continue;
        }
        if (name == QLatin1String("tbody") || name == QLatin1String("tfoot")) {
            if (in == In::Header)
                return std::nullopt;
            if (in == In::Row)
                flushRow(at);
            else if (!blank(body.mid(pieceStart, at - pieceStart)))
                return std::nullopt;
            in = In::Table;
            pieceStart = after;
            continue;
        }
        // <tr> or </tr> at the table's own level
        if (inHeader)
            continue;
        if (!closing) {
            if (in == In::Row)
                flushRow(at);
            else if (!blank(body.mid(pieceStart, at - pieceStart)))
                return std::nullopt;
            in = In::Row;
            pieceStart = at;
        }
    }
    if (depth != 0)
        return std::nullopt;
    flushFragment(body.size());
    return flow;
}

bool isEmpty(QStringView html)
{
    if (html.contains(QLatin1String("<img"), Qt::CaseInsensitive)
        || html.contains(QLatin1String("<hr"), Qt::CaseInsensitive))
        return false;
    bool inTag = false;
    for (const QChar c : html) {
        if (c == u'<')
            inTag = true;
        else if (c == u'>')
            inTag = false;
        else if (!inTag && !c.isSpace())
            return false;
    }
    return !inTag; // a '<' that opens no tag is text
}

QString assemble(const Flow &flow, int first, int last)
{
    QString html = flow.html.left(flow.bodyStart);
    int open = -1;
    for (int i = first; i < last; ++i) {
        const Unit &u = flow.units.at(i);
        if (u.table != open) {
            if (open >= 0)
                html += QStringLiteral("</table>\n");
            if (u.table >= 0) {
                const Table &t = flow.tables.at(u.table);
                html += t.open;
                if (!t.header.isEmpty())
                    html += QStringLiteral("<thead>") + t.header + QStringLiteral("</thead>");
            }
            open = u.table;
        }
        html += flow.text(u);
    }
    if (open >= 0)
        html += QStringLiteral("</table>\n");
    html += QStringView(flow.html).mid(flow.bodyEnd);
    return html;
}

} // namespace bm::platform::flow
