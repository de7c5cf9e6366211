// What the compression engine and its worker process say to each other. Every message is a
// record of length-prefixed fields, so paths and passwords may hold any byte, newlines included.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// A record: each field as "<decimal length>:<bytes>", the record ended by a newline.
std::string EncodeRecord(const std::vector<std::string>& fields);

enum class RecordState { Complete, Incomplete, Malformed };
// Takes the first whole record off the front of buffer. A record larger than the engine ever
// writes, or one that breaks the form, is malformed: the other side is not to be trusted.
RecordState TakeRecord(std::string& buffer, std::vector<std::string>& fields);

// The job as the worker receives it: named fields, one record.
using WorkerRequest = std::map<std::string, std::string>;
std::string EncodeRequest(const WorkerRequest& request);
bool DecodeRequest(std::string bytes, WorkerRequest& request);

// The worker's messages: a progress message for the job's window ("post", number, lParam),
// a sign of life between stages ("alive"), and its last word ("result", kind, code).
inline constexpr const char* kPostMessage = "post";
inline constexpr const char* kAliveMessage = "alive";
inline constexpr const char* kResultMessage = "result";
