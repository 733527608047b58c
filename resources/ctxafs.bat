# Fenu2 CT-XAFS batch: reconstructs every data set of an energy series, each
# normalised with the I0 image nearest in energy, and files the results
# under each set's energy tag. Made for the series that
#     fenu2-phantom --energies 7105,7115,7125 --i0-energies 7100,7110,7120,7150 \
#                   -W 128 -H 32 -n 90 -o series
# writes (data sets in series/data, I0 images in series/i0). Paths are
# relative to the directory fenu2 is started in:
#     fenu2 -nw -b ctxafs.bat -x

# The I0 images with their energies, read from their names.
seq_exec_select_i0        series/i0 *.img
bg_load                   series/dark.img

# Geometry and slices, the same for every set.
ct_rot_ax_is_h            0
ct_cor                    63.5
calc_ct2                  1
ct_auto_exec              1
ct_slice_from             8
ct_slice_to               24
ct_slice_step             8

# Data files in a folder per energy: results/7105_0eV/7105_0eV-00008.dat ...
auto_save_data            1
auto_save_data_path       results
auto_save_in_sub_folders  1
auto_save_in_sub_folders_of_energy 1
auto_save_in_sub_folders_of_slice  0

# The data sets: files named <base>-<energy>-<index>.img grouped by energy.
add_inf_VKR_standard      1
seq_exec_file_pattern     *.img
seq_exec_dir              series/data

:loop
seq_exec_set
calc_exec
seq_exec_next
:ifok :goto :loop
:echo CT-XAFS series done
:end
