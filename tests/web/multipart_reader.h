// Splits a multipart/form-data body back into its parts, for the tests.
#pragma once

#include <QByteArray>
#include <QList>

namespace halv::test {

struct FormPart {
  QByteArray disposition;  // the Content-Disposition header's value
  QByteArray content_type;
  QByteArray content;
};

// The boundary of a "multipart/form-data; boundary=..." content type.
inline QByteArray BoundaryOf(const QByteArray& content_type) {
  const qsizetype at = content_type.indexOf("boundary=");
  if (at < 0) return {};
  QByteArray boundary = content_type.mid(at + 9).trimmed();
  if (boundary.startsWith('"') && boundary.endsWith('"')) boundary = boundary.mid(1).chopped(1);
  return boundary;
}

// The parts between "--boundary" lines, up to the closing "--boundary--".
// Returns an empty list when the body does not end with the closing line.
inline QList<FormPart> ReadMultipart(const QByteArray& body, const QByteArray& boundary) {
  QList<FormPart> parts;
  const QByteArray delimiter = "--" + boundary;
  if (!body.startsWith(delimiter) || !body.trimmed().endsWith(delimiter + "--")) return parts;
  qsizetype at = delimiter.size() + 2;  // past "--boundary\r\n"
  while (true) {
    const qsizetype next = body.indexOf("\r\n" + delimiter, at);
    if (next < 0) break;
    const QByteArray part = body.mid(at, next - at);
    const qsizetype head_end = part.indexOf("\r\n\r\n");
    FormPart form_part;
    for (const QByteArray& line : part.left(head_end).split('\n')) {
      const qsizetype colon = line.indexOf(':');
      const QByteArray name = line.left(colon).trimmed().toLower();
      if (name == "content-disposition") form_part.disposition = line.mid(colon + 1).trimmed();
      if (name == "content-type") form_part.content_type = line.mid(colon + 1).trimmed();
    }
    form_part.content = part.mid(head_end + 4);
    parts.append(form_part);
    at = next + 2 + delimiter.size();
    if (body.mid(at, 2) == "--") break;
    at += 2;
  }
  return parts;
}

}  // namespace halv::test
