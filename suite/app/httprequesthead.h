#pragma once

#include <QByteArray>
#include <QMap>

// The head of one HTTP/1.x request as the page server reads it: the request
// line and the header fields. Nothing of a body is kept; the page server
// answers only requests that have none.
struct HttpRequestHead
{
    enum class Parse { Complete, Incomplete, Malformed, TooLarge };

    static constexpr int maximumSize = 16 * 1024;

    QByteArray method;
    QByteArray path;  // the target up to "?"
    QByteArray query; // the target after "?", without it
    QByteArray version;
    // Field names lowercased. A field that appears twice is malformed.
    QMap<QByteArray, QByteArray> fields;
    // Bytes of the head including its blank line.
    int size = 0;

    // Reads a head from the start of `bytes`.
    static Parse parse(const QByteArray &bytes, HttpRequestHead *head);

    QByteArray field(const QByteArray &lowercaseName) const { return fields.value(lowercaseName); }
    // True when the comma-separated field holds `token` (compared without case).
    bool fieldHasToken(const QByteArray &lowercaseName, const QByteArray &token) const;
    bool isWebSocketUpgrade() const;
    bool hasBody() const;
    // The value of `name` in the query, percent-decoded; empty when absent.
    QByteArray queryValue(const QByteArray &name) const;
};
