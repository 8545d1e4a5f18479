#pragma once

#include <QByteArray>
#include <QString>
#include <string>

class CQuorvaneDoc;

// The layout file: zones, groups, objects and the two modules' settings as
// one object-archive stream. Saving numbers the zones and groups anew
// (ids are positions); opening rebuilds the links from those ids.
namespace layoutfile {

QByteArray save(CQuorvaneDoc& document);

// Whether loading opens an rcon channel for every object it creates. A
// program that only reads and checks layouts keeps them Closed: it makes no
// socket and looks up no host name.
enum class Channels
{
    Open,
    Closed,
};

// Replaces the document's layout by the one in bytes. A malformed stream
// shows "Unexpected file format." and leaves a new default layout. Objects
// whose group is lost are reported and kept in a recovery group; groups
// whose zone is lost are kept in the first zone (or a recovery zone). Of
// objects that share an address and port only the first is kept, and one
// message names the repeated addresses.
// Returns false when the stream was malformed.
bool load(CQuorvaneDoc& document, const QByteArray& bytes, Channels channels = Channels::Open);

// Writes the layout beside path and moves it into place in one step, so
// that a crash or a full disk leaves the previous file whole; the file is
// readable by its owner only (it holds passwords). error says why it failed.
bool saveToFile(CQuorvaneDoc& document, const QString& path, QString& error);

// Reads and loads path; a file that cannot be read leaves the document
// untouched and returns false with error set.
bool openFile(CQuorvaneDoc& document, const QString& path, QString& error);

} // namespace layoutfile
