// libFuzzer target: any byte string read as a project into an empty workspace. Refusing is
// fine; crashing, leaking or allocating beyond what the bytes could hold is not.
#include "FuzzEnvironment.h"
#include "workspace/ProjectFile.h"
#include "workspace/Workspace.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {
FuzzEnvironment *g_environment = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Lives for the whole process; the services must outlast every input.
    g_environment = new FuzzEnvironment(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Workspace workspace(g_environment->config());
    ProjectFile::read(buffer, workspace);
    return 0;
}
