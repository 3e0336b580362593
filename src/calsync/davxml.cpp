#include "calsync/davxml.h"

#include "calsync/caldav.h"
#include "core/log.h"

#include <QXmlStreamReader>

namespace bm::calsync
{

namespace
{

const QString dav = QStringLiteral("DAV:");
const QString caldav = QStringLiteral("urn:ietf:params:xml:ns:caldav");

Status refused(const QString &why)
{
    const QString words = QStringLiteral("The server's answer could not be read: %1.").arg(why);
    qCWarning(dataLog).noquote() << words;
    return Status::failure(words);
}

bool is(const QXmlStreamReader &x, const QString &ns, QLatin1String name)
{
    return x.namespaceUri() == ns && x.name() == name;
}

// The text of an element holding only text (an href, a name).
constexpr qsizetype maxText = 4096;

} // namespace

Status parseMultistatus(const QByteArray &xml, const QString &requestUrl, QList<DavResponse> &out)
{
    out.clear();
    if (xml.size() > maxAnswerBytes)
        return refused(QStringLiteral("it is too long"));
    QXmlStreamReader x(xml);
    // The answer may not declare anything: no entities to expand, no outside DTD.
    int depth = 0;
    bool inMultistatus = false;
    bool sawMultistatus = false;
    DavResponse current;
    bool inResponse = false;
    bool okPropstat = true;
    DavResponse propstat;
    bool inPropstat = false;
    QStringList stack;

    while (!x.atEnd()) {
        const auto token = x.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return refused(QStringLiteral("it declares its own document type"));
        case QXmlStreamReader::StartElement: {
            if (++depth > maxDavDepth)
                return refused(QStringLiteral("it is nested too deeply"));
            const QString name = x.name().toString();
            const QString ns = x.namespaceUri().toString();
            stack << ns + QLatin1Char('|') + name;
            if (depth == 1) {
                if (!is(x, dav, QLatin1String("multistatus")))
                    return refused(QStringLiteral("it is not a list of answers"));
                inMultistatus = sawMultistatus = true;
            } else if (depth == 2 && is(x, dav, QLatin1String("response"))) {
                if (out.size() >= maxDavResponses)
                    return refused(QStringLiteral("it holds too many answers"));
                current = DavResponse();
                inResponse = true;
            } else if (inResponse && depth == 3 && is(x, dav, QLatin1String("propstat"))) {
                propstat = DavResponse();
                propstat.events = true;
                inPropstat = true;
                okPropstat = true;
            } else if (inPropstat && is(x, dav, QLatin1String("collection"))) {
                // nothing: a plain folder
            } else if (inPropstat && is(x, caldav, QLatin1String("calendar")) && stack.size() >= 2
                && stack.at(stack.size() - 2) == dav + QLatin1String("|resourcetype")) {
                propstat.calendar = true;
            } else if (inPropstat && is(x, caldav, QLatin1String("supported-calendar-component-set"))) {
                propstat.events = false;
            } else if (inPropstat && is(x, caldav, QLatin1String("comp"))) {
                if (x.attributes()
                        .value(QLatin1String("name"))
                        .compare(QLatin1String("VEVENT"), Qt::CaseInsensitive)
                    == 0)
                    propstat.events = true;
            } else if (is(x, dav, QLatin1String("href")) || is(x, dav, QLatin1String("status"))
                || is(x, dav, QLatin1String("displayname")) || is(x, dav, QLatin1String("getetag"))
                || is(x, caldav, QLatin1String("calendar-data"))) {
                const bool data = is(x, caldav, QLatin1String("calendar-data"));
                const QString text = x.readElementText(QXmlStreamReader::SkipChildElements);
                if (x.hasError())
                    return refused(x.errorString());
                --depth;
                const QString parent = stack.size() >= 2 ? stack.at(stack.size() - 2) : QString();
                stack.removeLast();
                if (!data && text.size() > maxText)
                    return refused(QStringLiteral("a name in it is too long"));
                if (data && text.size() > maxAnswerBytes)
                    return refused(QStringLiteral("an event in it is too long"));
                if (name == QLatin1String("href") && parent == dav + QLatin1String("|response")) {
                    current.href = sameServer(requestUrl, text);
                } else if (name == QLatin1String("href") && inPropstat
                    && parent == dav + QLatin1String("|current-user-principal")) {
                    propstat.principal = sameServer(requestUrl, text);
                } else if (name == QLatin1String("href") && inPropstat
                    && parent == caldav + QLatin1String("|calendar-home-set")) {
                    propstat.home = sameServer(requestUrl, text);
                } else if (name == QLatin1String("status") && inPropstat) {
                    // "HTTP/1.1 200 OK": only found properties count.
                    okPropstat = text.simplified().section(QLatin1Char(' '), 1, 1) == QLatin1String("200");
                } else if (name == QLatin1String("displayname") && inPropstat) {
                    propstat.displayName = text.trimmed();
                } else if (name == QLatin1String("getetag") && inPropstat) {
                    propstat.etag = text.trimmed().left(200);
                } else if (data && inPropstat) {
                    propstat.calendarData = text.toUtf8();
                }
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (inPropstat && depth == 3 && is(x, dav, QLatin1String("propstat"))) {
                inPropstat = false;
                if (okPropstat) {
                    current.calendar = current.calendar || propstat.calendar;
                    if (!propstat.events)
                        current.events = false;
                    if (!propstat.displayName.isEmpty())
                        current.displayName = propstat.displayName;
                    if (!propstat.principal.isEmpty())
                        current.principal = propstat.principal;
                    if (!propstat.home.isEmpty())
                        current.home = propstat.home;
                    if (!propstat.etag.isEmpty())
                        current.etag = propstat.etag;
                    if (!propstat.calendarData.isEmpty())
                        current.calendarData = propstat.calendarData;
                }
            } else if (inResponse && depth == 2 && is(x, dav, QLatin1String("response"))) {
                inResponse = false;
                if (!current.href.isEmpty())
                    out << current;
            } else if (depth == 1) {
                inMultistatus = false;
            }
            --depth;
            if (!stack.isEmpty())
                stack.removeLast();
            break;
        default:
            break;
        }
    }
    if (x.hasError())
        return refused(x.errorString());
    if (!sawMultistatus || inMultistatus)
        return refused(QStringLiteral("it is not a list of answers"));
    return Status::ok();
}

} // namespace bm::calsync
