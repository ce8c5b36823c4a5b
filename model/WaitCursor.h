#ifndef HW_WAITCURSOR_H
#define HW_WAITCURSOR_H

// Shows the wait cursor for as long as it lives, where there is a screen
// to show it on (nothing in a program without a GUI application).
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown = false;
};

#endif
