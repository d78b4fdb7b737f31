# What the window benchmarks share: their own Xvfb, wide enough for the panel beside a
# 4000-pixel photograph (it opens at the photograph's width plus 20), and generated
# photographs. Sets xvfb to the server's process id.

start_bench_display() {  # start_bench_display <X display number>
  Xvfb ":$1" -screen 0 4400x1300x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$1"
  for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}

# A photograph from a warm light colour to a cool dark one with noise, and a mask that
# leaves out a tenth of it, as the default door and mask of <folder>.
make_photograph() {  # make_photograph <folder> <width> <height>
  mkdir -p "$1/images"
  convert -size "$2x$3" gradient:'#d8b890'-'#384858' -attenuate 0.2 +noise Gaussian -quality 92 "$1/images/image1.jpg"
  convert -size "$2x$3" xc:white -fill black -draw "rectangle 0,0 $(($2 / 10)),$3" "$1/images/image1_mask.jpg"
}
