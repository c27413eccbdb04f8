#pragma once

#include <QtGlobal>

class QIODevice;
class Workspace;

// The project file around the workspace's objects block: marks, logo and version.
class ProjectFile
{
public:
    static constexpr qint16 kMajorVersion = 1;
    static constexpr qint16 kMinorVersion = 1;

    // Writes the whole project; false when the device reported an error.
    static bool write(QIODevice &device, const Workspace &workspace);

    // How a read ended. Objects read before a refusal stay in the workspace.
    enum class ReadOutcome
    {
        Complete,    // read up to its end marks
        NotAProject, // wrong marks or a version this reader does not know: nothing was read
        Damaged,     // refused part way: a record, a relation or the end marks
        Busy         // the workspace takes no objects while a job or the layer preview runs
    };

    // True when the device's next bytes are a project's start marks and logo; nothing is read.
    static bool hasProjectHeader(QIODevice &device);

    // Reads a project into the workspace (adding to what is there).
    static ReadOutcome readProject(QIODevice &device, Workspace &workspace);
    // True only when the file was read up to its end marks.
    static bool read(QIODevice &device, Workspace &workspace)
    {
        return readProject(device, workspace) == ReadOutcome::Complete;
    }
};
