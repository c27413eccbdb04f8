#pragma once

#include <QtGlobal>

class QIODevice;
class QuorModel;

// The project file around the workspace's objects block: marks, logo and version.
class ProjectFile
{
public:
    static constexpr qint16 kMajorVersion = 1;
    static constexpr qint16 kMinorVersion = 1;

    // Writes the whole project; false when the device reported an error.
    static bool write(QIODevice &device, const QuorModel &workspace);

    // Reads a project into the workspace (adding to what is there); true only when the
    // file was read up to its end marks.
    static bool read(QIODevice &device, QuorModel &workspace);
};
