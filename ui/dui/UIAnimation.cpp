#include "ui/dui/UIAnimation.h"

#include <algorithm>

namespace winhush::dui {

CUIAnimation::CUIAnimation(CControlUI* owner) : owner_(owner) {}

CUIAnimation::~CUIAnimation() {
    CPaintManagerUI* manager = owner_ ? owner_->GetManager() : nullptr;
    if (manager) {
        for (const auto& animation : animations_) manager->KillTimer(owner_, static_cast<UINT>(animation.id));
    }
}

CUIAnimation::AnimationData* CUIAnimation::Find(int animationId) {
    for (auto& animation : animations_) {
        if (animation.id == animationId) return &animation;
    }
    return nullptr;
}

const CUIAnimation::AnimationData* CUIAnimation::Find(int animationId) const {
    for (const auto& animation : animations_) {
        if (animation.id == animationId) return &animation;
    }
    return nullptr;
}

bool CUIAnimation::StartAnimation(int elapse, int totalFrame, int animationId, bool loop) {
    if (elapse <= 0 || totalFrame <= 0 || !owner_ || !owner_->GetManager()) return false;
    if (Find(animationId)) return false;
    animations_.push_back({elapse, totalFrame, 0, animationId, loop, true});
    if (!owner_->GetManager()->SetTimer(owner_, static_cast<UINT>(animationId), static_cast<UINT>(elapse))) {
        animations_.pop_back();
        return false;
    }
    return true;
}

void CUIAnimation::StopAnimation(int animationId) {
    CPaintManagerUI* manager = owner_ ? owner_->GetManager() : nullptr;
    if (animationId == 0) {
        if (manager) {
            for (const auto& animation : animations_) manager->KillTimer(owner_, static_cast<UINT>(animation.id));
        }
        animations_.clear();
        return;
    }
    auto it = std::find_if(animations_.begin(), animations_.end(),
                           [&](const AnimationData& a) { return a.id == animationId; });
    if (it == animations_.end()) return;
    if (manager) manager->KillTimer(owner_, static_cast<UINT>(animationId));
    animations_.erase(it);
}

bool CUIAnimation::IsAnimationRunning(int animationId) const { return Find(animationId) != nullptr; }

int CUIAnimation::GetCurrentFrame(int animationId) const {
    const AnimationData* data = Find(animationId);
    return data ? data->currentFrame : -1;
}

bool CUIAnimation::SetCurrentFrame(int frame, int animationId) {
    AnimationData* data = Find(animationId);
    if (!data || frame < 0 || frame > data->totalFrame) return false;
    data->currentFrame = frame;
    return true;
}

void CUIAnimation::OnAnimationElapse(int animationId) {
    // Callbacks may stop this or other animations; look the record up again after each.
    AnimationData* data = Find(animationId);
    if (!data) return;
    if (data->currentFrame == 0) {
        bool firstLoop = data->firstLoop;
        data->firstLoop = false;
        OnAnimationStart(animationId, firstLoop);
        if (!(data = Find(animationId))) return;
    }
    int total = data->totalFrame;
    int frame = data->currentFrame;
    OnAnimationStep(total, frame, animationId);
    if (!(data = Find(animationId))) return;
    if (data->currentFrame >= data->totalFrame) {
        bool loop = data->loop;
        if (!loop) {
            // Removed before the stop hook so that the hook may start it again.
            StopAnimation(animationId);
            OnAnimationStop(animationId);
            return;
        }
        OnAnimationStop(animationId);
        if (!(data = Find(animationId))) return;
        data->currentFrame = 0;
    }
    ++data->currentFrame;
}

}  // namespace winhush::dui
