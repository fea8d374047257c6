# Draws docs/robustness/robust-framing.png from docs/robustness/robust-framing.dat (run from the
# repository's top directory): the exact and the robust framing side by side, calibrated, clock
# offset 0, by SNR. Columns of the data as in plot.gp; NAME-robust rows are the robust framing.
data = 'docs/robustness/robust-framing.dat'
set terminal pngcairo size 1400,520 font ',10'
set output 'docs/robustness/robust-framing.png'
set multiplot layout 1,2 title 'Exact (thin) and robust (thick) framing, calibrated, clock 0, 44100 Hz'
set grid
set key top left
set ylabel 'character errors (%)'
set xlabel 'SNR in the receiver''s band (dB); 35 = clean'
set xrange [9:36]
set yrange [0:100]
bysnr(t, r) = sprintf("< awk '$1 == \"%s\" && $2 == 1 && $3 == \"%s\" && $4 == 0 { print ($5 == 99 ? 35 : $5), 100 * $6 }' %s | sort -n", t, r, data)
do for [t in "room default"] {
  set title t.' timing'
  plot bysnr(t, 'strong') w lp lw 1 pt 7 lc 1 t 'strong room', \
       bysnr(t.'-robust', 'strong') w lp lw 3 pt 7 lc 1 t 'strong room, robust', \
       bysnr(t, 'sox80') w lp lw 1 pt 5 lc 2 t 'sox reverb 80', \
       bysnr(t.'-robust', 'sox80') w lp lw 3 pt 5 lc 2 t 'sox reverb 80, robust', \
       bysnr(t, 'sox100') w lp lw 1 pt 9 lc 3 t 'sox reverb 100', \
       bysnr(t.'-robust', 'sox100') w lp lw 3 pt 9 lc 3 t 'sox reverb 100, robust', \
       bysnr(t, 'box0.3s1m') w lp lw 1 pt 11 lc 4 t 'held-out box 0.3 s, 1 m', \
       bysnr(t.'-robust', 'box0.3s1m') w lp lw 3 pt 11 lc 4 t 'held-out box 0.3 s, 1 m, robust'
}
unset multiplot
