#include "LinkSnapshot.h"

#include "AppTypes.h"

namespace vandreth {

bool belongsToHeldLink(TaskKind kind, const LinkSnapshot& madeFor, const LinkSnapshot& held)
{
    switch (kind) {
    case TaskKind::LinkStart:
    case TaskKind::LinkPoll:
        return madeFor.linkChanges == held.linkChanges;
    case TaskKind::Me:
    case TaskKind::Instances:
    case TaskKind::CreateInstance:
        break;
    }
    return madeFor.accessToken == held.accessToken;
}

}  // namespace vandreth
