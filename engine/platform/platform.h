// The operating-system services the engine needs, behind one small header.
// posix/ and windows/ each implement all of it; callers never test which.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/shared.h"  // processor facts, large tables, read-only files

namespace qb::platform {

#ifdef _WIN32
constexpr char DIR_SEP = '\\';
#else
constexpr char DIR_SEP = '/';
#endif

// ---- Settings store: the engine's key in the user's registry (a text file
// in registry-export form on POSIX). Reads report false when the value is
// missing, unreadable, of the wrong type or does not fit.
constexpr std::size_t SETTING_TEXT_SIZE = 260;
bool read_setting_text(const char* name, char* out, std::size_t size);
bool read_setting_number(const char* name, uint32_t* out);
bool write_setting_text(const char* name, const char* value);
bool write_setting_number(const char* name, uint32_t value);
// What the last write had to do besides writing (an unreadable store kept
// aside under another name), for the log; empty when nothing. Cleared by
// the call.
std::string settings_store_notice();

// ---- Files and folders.
std::string documents_folder();                // empty when there is none
bool make_directory(const std::string& path);  // true if it exists afterwards
bool path_exists(const std::string& path);
std::string current_directory();
std::string join_path(const std::string& dir, const std::string& name);

// ---- Instance numbers: claim the lowest free number below `limit` among
// engines loaded at the same time. Returns -1 when none could be claimed.
int claim_instance(int limit);
void release_instance();

// ---- About box: caption and text shown to the user, owned by `owner`.
void message_box(void* owner, const char* caption, const char* text);

// ---- Machine.
int processor_count();        // logical processors, at least 1
int installed_ram_mb();       // 0 when the system does not answer
uint32_t process_clock_ms();  // milliseconds since the process started
uint32_t process_id();
void sleep_ms(int ms);

// ---- Threads and auto-reset events.
struct Event;
Event* event_create();  // auto-reset, initially clear
void event_set(Event* e);
void event_wait(Event* e);  // returns once the event is set, clearing it
void event_destroy(Event* e);
bool thread_start(void (*entry)(void*), void* arg);  // detached
// A thread that can be waited for: code of an unloaded library must not be
// left running, so the engine's own threads are joined before it goes.
struct Thread;
Thread* thread_create(void (*entry)(void*), void* arg);  // null on failure
// Waits until `entry` has returned and the thread will run no more of the
// library's code (it may still be ending in the system's), then frees it.
void thread_join(Thread* t);

}  // namespace qb::platform
