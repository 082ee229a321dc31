// The messenger's stored state: the names of its registry keys and ini file, and the readers and
// writers of the address book and the history in their stored layouts.
//
// The address book is a pair of parallel lists (names, numbers); the history is a list of texts.
// Every text is Windows-1254, stored byte for byte.
//
// tolvar17.ini (and list files of the same layout):
//   [Ayarlar] Toplam=<contacts>      [1] isim= numara=   [2] ...
//   [Mesaj]   Toplam=<texts>  Mesaj0= Mesaj1= ...
//   [Otomatik] İsim=                 (list files: written again with every contact)
// Readers stop at the counts, so sections beyond them are ignored (and kept); a count never goes
// beyond what the file holds (the last numbered section, the last MesajN key present).
//
// Registry, HKEY_CURRENT_USER\Software\Marendo\Tolvar\Kullanıcılar\<user>:
//   Liste\<contact name> = <number>     Gecmis\gecmis0, gecmis1, ... = <text>
#pragma once

#include <string>

#include "platform/codepage/cp1254.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/registry.h"
#include "platform/classlib/strings.h"

namespace storedstate {

inline const std::string MainIniName = "tolvar17.ini";
inline const std::string ProgramKey = "Software\\Marendo\\Tolvar";
inline const std::string UsersKey = "Software\\Marendo\\Tolvar\\Kullanıcılar"_w;
inline const std::string DefaultUser = "GENEL";

// A history text in an ini file is stored byte for byte, except that a line break (CR LF, LF or CR),
// which the one line of a key cannot hold, is written as one space. Nothing else is escaped, so a
// stored text reads back as it stands.
std::string EncodeIniText(const std::string& text);

// The book part: [Ayarlar] toplam (default 0), then isim/numara of sections 1..toplam, appended
// to the lists in file order; toplam is bounded by the highest numbered section present.
void ReadBook(TCustomIniFile& ini, TStrings* names, TStrings* numbers);
// [Mesaj] Toplam (default 0), then Mesaj0 .. Mesaj<toplam-1>, appended; Toplam is bounded by the
// highest MesajN key present.
void ReadHistory(TCustomIniFile& ini, TStrings* texts);

// The exit's write order: both counts, then every contact's isim and numara, then the texts.
// Nothing is deleted: keys beyond the new counts stay.
void WriteBookAndHistory(TCustomIniFile& ini, const TStrings* names, const TStrings* numbers,
                         const TStrings* history);
// The list-file order: both counts, every contact's isim, numara and [Otomatik] İsim, then the texts.
void WriteListFile(TCustomIniFile& ini, const TStrings* names, const TStrings* numbers,
                   const TStrings* history, const std::string& otomatikIsim);

// The list save: WriteListFile into the file `fileName` (a program path), which is replaced once,
// atomically, with all of it; on failure it stays as it was and EIniFileException "Unable to write
// to <fileName>" is raised.
void SaveListFile(const std::string& fileName, const TStrings* names, const TStrings* numbers,
                  const TStrings* history, const std::string& otomatikIsim);

// The default user's exit write-back. The content is exactly what WriteBookAndHistory would leave in
// tolvar17.ini, but the file is written once, atomically, in one pass. On any failure the original
// stays as it was and EIniFileException "Unable to write to tolvar17.ini" is raised.
void WriteDefaultUserState(const TStrings* names, const TStrings* numbers, const TStrings* history);

// A registry user's exit write-back, with `reg` open at the users key (UsersKey). The user's Liste
// key ends up holding exactly the book, in list order, each contact under its name as spelled in
// the book (two contacts of one name share a value at the place of the first; the later number
// wins), and the Gecmis key exactly gecmis0 .. gecmis<n-1>: every other value of the two keys is
// removed. Keys are created when missing. All of it goes to the hive in one reg::ChangeSet: a
// failure raises ERegistryException and leaves the registry as it was.
void WriteRegistryUserState(TRegistry& reg, const std::string& user, const TStrings* names,
                            const TStrings* numbers, const TStrings* history);

// The key of a registry user, from the root: \Software\Marendo\Tolvar\Kullanıcılar\<user>.
std::string UserKeyPath(const std::string& user);

// What the login reads of a registry user: the book (Liste: the value names in enumeration order,
// each value's data as the number), then the history (Gecmis: its value names, and for k values
// the texts of gecmis0 .. gecmis<k-1>, a missing one read as ""). Liste and Gecmis are created when
// missing, in one reg::ChangeSet. The four lists are replaced only when everything was read: a
// value of the wrong type raises "Invalid data type for '<name>'", keys that cannot be made raise
// "Failed to create key <path>", and either leaves the lists as they were.
void ReadRegistryUserState(const std::string& user, TStrings* names, TStrings* numbers,
                           TStrings* historyNames, TStrings* history);

// The users the user-settings window lists: the subkey names of Kullanıcılar (created when
// missing) in enumeration order, and each user's Sifre ("" when absent). Both lists are replaced
// only when every password was read (a Sifre of the wrong type raises and leaves them as they were).
void ReadUsers(TStrings* users, TStrings* passwords);

}  // namespace storedstate
