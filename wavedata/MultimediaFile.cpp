#include "wavedata/MultimediaFile.h"

MultimediaFile::MultimediaFile() { classId_ = kMultimediaFile; }
MultimediaFile::~MultimediaFile() = default;
bool MultimediaFile::OpenResource(const char*, uint32_t) { return false; }
bool MultimediaFile::CloseResource() { return true; }
int MultimediaFile::Read(void*, uint32_t, uint32_t* got) { if (got) *got = 0; return 3; }
int MultimediaFile::Write(const void*, uint32_t, uint32_t* written) { if (written) *written = 0; return 3; }
int MultimediaFile::Seek(int32_t, int32_t) { return 3; }
int32_t MultimediaFile::Tell() { return -1; }
int MultimediaFile::SetBuffer(uint32_t) { return 7; }
