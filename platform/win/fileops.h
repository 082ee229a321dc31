// Files by program path (win::LocalPath): deleting and moving them.
#pragma once

#include "platform/win/wintypes.h"

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;

// Removes a file; FALSE with the error set (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...).
BOOL DeleteFileA(const char* fileName);
// Renames a file within its file system in one step, replacing an existing target only with
// MOVEFILE_REPLACE_EXISTING; a reader sees the old file or the new one, never a mix.
BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags);
