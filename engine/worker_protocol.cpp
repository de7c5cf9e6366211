#include "engine/worker_protocol.h"

#include <cctype>

namespace {

// Far above any record the engine writes (paths, passwords, numbers).
constexpr size_t kMaxRecordBytes = 1 << 20;

}  // namespace

std::string EncodeRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (const std::string& field : fields)
        record += std::to_string(field.size()) + ':' + field;
    return record + '\n';
}

RecordState TakeRecord(std::string& buffer, std::vector<std::string>& fields) {
    fields.clear();
    const RecordState incomplete =
        buffer.size() > kMaxRecordBytes ? RecordState::Malformed : RecordState::Incomplete;
    size_t at = 0;
    while (at < buffer.size() && buffer[at] != '\n') {
        size_t length = 0, digits = 0;
        for (; at < buffer.size() && std::isdigit(static_cast<unsigned char>(buffer[at])); ++at) {
            length = length * 10 + static_cast<size_t>(buffer[at] - '0');
            if (++digits > 7 || length > kMaxRecordBytes)
                return RecordState::Malformed;
        }
        if (at == buffer.size())
            return incomplete;
        if (digits == 0 || buffer[at] != ':')
            return RecordState::Malformed;
        if (buffer.size() - at - 1 < length)
            return incomplete;
        fields.push_back(buffer.substr(at + 1, length));
        at += 1 + length;
    }
    if (at == buffer.size())
        return incomplete;
    buffer.erase(0, at + 1);
    return RecordState::Complete;
}

std::string EncodeRequest(const WorkerRequest& request) {
    std::vector<std::string> fields;
    for (const auto& [name, value] : request) {
        fields.push_back(name);
        fields.push_back(value);
    }
    return EncodeRecord(fields);
}

bool DecodeRequest(std::string bytes, WorkerRequest& request) {
    std::vector<std::string> fields;
    if (TakeRecord(bytes, fields) != RecordState::Complete || fields.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < fields.size(); i += 2)
        request[fields[i]] = fields[i + 1];
    return true;
}
