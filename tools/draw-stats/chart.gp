# The fairness chart, drawn from the counts that draw-stats writes:
#   gnuplot -c tools/draw-stats/chart.gp COUNTS.tsv CHART.png ["what was drawn"]
# Balls above, stars below: each value's count as a point on a stem from the expected count,
# the expected count as a line, and the band of two standard deviations about it, in which a
# fair draw keeps about 19 values in 20.
if (ARGC < 2) {
  print "usage: gnuplot -c chart.gp COUNTS.tsv CHART.png [SUBTITLE]"
  exit status 2
}
counts = ARG1
subtitle = ARGC >= 3 ? "\n".ARG3 : ""

set terminal pngcairo size 1000,760 font "DejaVu Sans,11" noenhanced
set output ARG2
set multiplot layout 2,1 title "Draw fairness: how often each value was drawn".subtitle font ",14"
set key outside top center horizontal maxcols 3 samplen 2
set grid ytics lc rgb "#dddddd"
set ylabel "times drawn"
set format y "%.0f"
set xtics 1 out nomirror
set ytics nomirror

array group[2] = ["ball", "star"]
array last[2] = [49, 11]
array colour[2] = ["#3465a4", "#c49000"]
do for [i = 1:2] {
  set autoscale xy  # stats reads only what lies in the ranges: none yet
  stats counts index (i - 1) using 3:4 nooutput
  expected = STATS_mean_x
  sigma = STATS_mean_y
  stats counts index (i - 1) using 2 nooutput
  reach = STATS_max - expected > expected - STATS_min ? STATS_max - expected : expected - STATS_min
  reach = (reach * 1.15 > 3 * sigma ? reach * 1.15 : 3 * sigma)
  set xrange [-0.8 : last[i] + 0.8]
  set yrange [expected - reach : expected + reach]
  set xtics 0, (i == 1 ? 5 : 1)
  set mxtics (i == 1 ? 5 : 1)
  set xlabel group[i]." value"
  set title sprintf("%ss: expected %.0f per value, standard deviation %.0f", group[i], expected, sigma)
  # "+" samples the whole width, so the band runs from edge to edge.
  plot "+" using 1:(expected - 2 * sigma):(expected + 2 * sigma) with filledcurves \
         fillcolor rgb "#e4e4e4" title "expected ± 2 standard deviations", \
       expected with lines lc rgb "#cc0000" lw 2 title "expected count", \
       counts index (i - 1) using 1:2 with points pt 7 ps 1 lc rgb colour[i] title "times drawn", \
       "" index (i - 1) using 1:(expected):(0):($2 - expected) with vectors nohead \
         lc rgb colour[i] lw 2 notitle
}
unset multiplot
