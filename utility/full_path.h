// Paths handed to the disk service are fully qualified: the service is another process with
// another current folder, so a relative path would name some other file there.
#pragma once

#include <string>
#include <string_view>

// "X:\..." (or "X:/..."), or a UNC or device path beginning with two separators. A relative
// path, a drive-relative one ("C:disk.zel") and a rooted one without a drive ("\disks\a.zel")
// are not; neither is empty text.
bool IsFullyQualifiedPath(std::u16string_view path);

// The path made absolute against the program's current folder; a fully qualified path, empty
// text, and a path that cannot be resolved come back exactly as given.
std::wstring FullPath(const std::wstring& path);
