#include "TaskRequest.h"

#include "TextHelpers.h"

#include <utility>

namespace vandreth {

TaskRequest taskRequest(TaskKind kind, TaskInputs inputs)
{
    const std::string& origin = inputs.origin;
    switch (kind) {
    case TaskKind::LinkStart:
        return {"POST", origin + "/api/pc/link/start", {{"device_id", std::move(inputs.deviceId)}}, {}};
    case TaskKind::LinkPoll:
        return {"GET",
                origin + "/api/pc/link/poll?code=" + percentEncode(inputs.linkCode) +
                    "&device_id=" + percentEncode(inputs.deviceId),
                {},
                {}};
    case TaskKind::Me:
        return {"GET", origin + "/api/pc/me", {}, std::move(inputs.accessToken)};
    case TaskKind::Instances:
        return {"GET", origin + "/api/pc/instances", {}, std::move(inputs.accessToken)};
    case TaskKind::CreateInstance:
        return {"POST", origin + "/api/pc/instances/create", std::move(inputs.fields), std::move(inputs.accessToken)};
    }
    return {};
}

}  // namespace vandreth
