# The seed-space chart, drawn from the histogram that draw-stats --first-draws writes:
#   gnuplot -c tools/draw-stats/first-draws-chart.gp HISTOGRAM.tsv CHART.png ["what was swept"]
# Above: for each k, how many tickets exactly k seeds give, against the Poisson law of the same
# mean, on a log scale so that the tails show. Below: each k's difference from the law in
# standard deviations, (observed - expected) / sqrt(expected), and the band of two, in which a
# fair spread keeps about 19 values of k in 20.
if (ARGC < 2) {
  print "usage: gnuplot -c first-draws-chart.gp HISTOGRAM.tsv CHART.png [SUBTITLE]"
  exit status 2
}
data = ARG1
subtitle = ARGC >= 3 ? "\n".ARG3 : ""

set terminal pngcairo size 1000,760 font "DejaVu Sans,11" noenhanced
set output ARG2
set multiplot layout 2,1 title "Seeds per ticket on the first press".subtitle font ",14"
set grid ytics lc rgb "#dddddd"
set key top right
set ytics nomirror
set lmargin 12  # the same in both panels, so that their k line up
set xtics out nomirror

# The k that were observed or that the law expects at least once.
set autoscale xy  # stats reads only what lies in the ranges: none yet
stats data using ($2 > 0 || $3 >= 1 ? $1 : NaN) nooutput
set xrange [STATS_min - 1 : STATS_max + 1]

set logscale y
set format y "%.0e"
set ylabel "tickets"
set xlabel "seeds that give the ticket"
set title "tickets against the Poisson law of the same mean"
plot data using 1:($2 > 0 ? $2 : NaN) with boxes fs solid 0.5 lc rgb "#3465a4" \
       title "tickets observed", \
     "" using 1:($3 >= 0.01 ? $3 : NaN) with linespoints pt 7 ps 0.6 lw 2 lc rgb "#cc0000" \
       title "Poisson law"

unset logscale y
set format y "%+.0f"
set ylabel "(observed - expected) / sqrt(expected)"
set title "difference from the law, in standard deviations"
set yrange [-4.5 : 4.5]
plot "+" using 1:(-2):(2) with filledcurves fillcolor rgb "#e4e4e4" title "± 2", \
     data using 1:($3 >= 0.01 ? $4 : NaN) with impulses lw 4 lc rgb "#3465a4" notitle, \
     0 with lines lc rgb "#cc0000" lw 1 notitle
unset multiplot
