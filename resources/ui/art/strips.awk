# Writes the animation strips of the UI as one SVG each: frames side by side, frame i at
# x = i * frame width, so that a control picks frame i with the source rectangle
# (i*w, 0, (i+1)*w, h) in 1x units. Run as
#   awk -v kind=switch -v out=switch_strip.svg -f strips.awk
# kind "switch": the row switch, frame 0 on (knob right, accent track), sliding to off
#   (knob left, grey track); the last two frames are the same resting off picture, which
#   is how the switch control expects its strip.
# kind "loading": the first-run spinner, 69 frames that loop seamlessly: the arc turns
#   twice per loop while it grows and shrinks once.
function mix(a, b, t) { return a + (b - a) * t }
function hex2(v) { v = int(v + 0.5); if (v < 0) v = 0; if (v > 255) v = 255; return sprintf("%02X", v) }
function colour(r1, g1, b1, r2, g2, b2, t) {
    return "#" hex2(mix(r1, r2, t)) hex2(mix(g1, g2, t)) hex2(mix(b1, b2, t))
}
# Slow in, slow out: the knob starts and lands gently.
function ease(t) { return t * t * (3 - 2 * t) }

function switch_strip(    frames, w, h, i, t, e, x, track) {
    frames = 10; w = 40; h = 22
    printf("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
           frames * w, h, frames * w, h) > out
    for (i = 0; i < frames; i++) {
        t = (i >= frames - 2) ? 1 : i / (frames - 2)
        e = ease(t)
        # Track: accent (#2B8FD9) when on, neutral grey (#C3C9D2) when off.
        track = colour(43, 143, 217, 195, 201, 210, e)
        x = mix(w - 11, 11, e)
        printf("  <g transform=\"translate(%d,0)\">\n", i * w) > out
        printf("    <rect x=\"1\" y=\"1\" width=\"%d\" height=\"%d\" rx=\"%g\" fill=\"%s\"/>\n",
               w - 2, h - 2, (h - 2) / 2, track) > out
        # A faint rim under the knob keeps it apart from the light off track.
        printf("    <circle cx=\"%.3f\" cy=\"%g\" r=\"8.5\" fill=\"#000000\" fill-opacity=\"0.12\"/>\n", x, h / 2 + 0.5) > out
        printf("    <circle cx=\"%.3f\" cy=\"%g\" r=\"8\" fill=\"#FFFFFF\"/>\n", x, h / 2) > out
        printf("  </g>\n") > out
    }
    printf("</svg>\n") > out
}

function loading_strip(    frames, s, c, r, circ, i, p, len, rot, pi) {
    frames = 69; s = 56; c = s / 2; r = 22; pi = atan2(0, -1)
    circ = 2 * pi * r
    printf("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
           frames * s, s, frames * s, s) > out
    for (i = 0; i < frames; i++) {
        p = i / frames
        # Arc between a tenth and two thirds of the circle, longest half-way through the loop.
        len = circ * (0.1 + 0.56 * (0.5 - 0.5 * cos(2 * pi * p)))
        # Two turns per loop; the arc is centred on its angle, which starts at 12 o'clock.
        rot = -90 + 720 * p - (len / circ) * 180
        printf("  <g transform=\"translate(%d,0)\">\n", i * s) > out
        printf("    <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"none\" stroke=\"#DCEBFA\" stroke-width=\"5\"/>\n",
               c, c, r) > out
        printf("    <circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"none\" stroke=\"#2B8FD9\" stroke-width=\"5\" " \
               "stroke-linecap=\"round\" stroke-dasharray=\"%.3f %.3f\" " \
               "transform=\"rotate(%.3f %g %g)\"/>\n", c, c, r, len, circ, rot, c, c) > out
        printf("  </g>\n") > out
    }
    printf("</svg>\n") > out
}

BEGIN {
    if (kind == "switch") switch_strip()
    else if (kind == "loading") loading_strip()
    else { print "strips.awk: unknown kind " kind > "/dev/stderr"; exit 1 }
    close(out)
}
