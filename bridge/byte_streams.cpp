#include "bridge/byte_streams.h"

#include "platform/standard_io.h"

long StandardInput::Read(void* buffer, size_t size) { return vz::ReadStandardInput(buffer, size); }

bool StandardOutput::Write(const void* data, size_t size) { return vz::WriteStandardOutput(data, size); }
