// CUIAnimation: frame animations driven by the owner control's manager timers. The owner
// passes TIMER events to OnAnimationElapse; each animation id runs total+1 steps
// (frames 0..total), then stops or loops.
#pragma once

#include <vector>

#include "ui/dui/UIControl.h"

namespace winhush::dui {

class CUIAnimation {
public:
    explicit CUIAnimation(CControlUI* owner);
    virtual ~CUIAnimation();

    bool StartAnimation(int elapse, int totalFrame, int animationId = 0, bool loop = false);
    void StopAnimation(int animationId = 0);  // 0 stops every animation
    bool IsAnimationRunning(int animationId) const;
    int GetCurrentFrame(int animationId = 0) const;  // -1 for an unknown id
    bool SetCurrentFrame(int frame, int animationId = 0);

    virtual void OnAnimationStart(int animationId, bool firstLoop) {
        (void)animationId;
        (void)firstLoop;
    }
    virtual void OnAnimationStep(int totalFrame, int currentFrame, int animationId) {
        (void)totalFrame;
        (void)currentFrame;
        (void)animationId;
    }
    virtual void OnAnimationStop(int animationId) { (void)animationId; }
    // Call from the owner's DoEvent for UIEVENT_TIMER with the event's wParam.
    void OnAnimationElapse(int animationId);

protected:
    struct AnimationData {
        int elapse;
        int totalFrame;
        int currentFrame;
        int id;
        bool loop;
        bool firstLoop;
    };
    AnimationData* Find(int animationId);
    const AnimationData* Find(int animationId) const;

    CControlUI* owner_;
    std::vector<AnimationData> animations_;
};

}  // namespace winhush::dui
